#pragma once
// Changes to several records of a data class that must land together or not at all.

#include <functional>

class TVoskClass;

namespace Corvale {

// Runs work in a transaction of the class's database unless one is already open. When it throws,
// the transaction is rolled back, the class re-read (its records already gone come back) and the
// exception passed on.
void RunAllOrNothing(TVoskClass& dataClass, const std::function<void()>& work);

// Asks before several selected records are deleted, naming how many; true for "Ja".
bool AskDeleteSelection(int count);

} // namespace Corvale
