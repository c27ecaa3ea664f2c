#include "VoskClass.h"

TVoskClass::TVoskClass(QObject* parent) : QObject(parent) {}

TVoskClass::~TVoskClass() = default;

void TVoskClass::Post() { m_canPost = false; }
