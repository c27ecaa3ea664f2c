#pragma once
// What a scanner's session tells of its options and reads, in Qt Core terms alone: the scan
// helper process speaks them too.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Imaging {

// One option of a device, as its descriptor tells it.
struct TAcquireOption {
    enum Kind { Bool, Int, Fixed, String, Button, Group };
    QString Name;  // the backend's key ("resolution", "mode", "source"); empty for a group
    QString Title; // what the device calls it
    QString Description;
    Kind Type = Int;
    QString Unit;         // "dpi", "mm", "%", ... or empty
    QStringList Choices;  // allowed texts
    QList<double> Values; // allowed numbers
    bool HasRange = false;
    double Min = 0, Max = 0, Quant = 0;
    QVariant Value;
    bool Active = true;
    bool Settable = true;
};

enum class TAcquireStatus {
    Good,      // a page was read
    NoDocs,    // the feeder is empty
    Cancelled, // the progress callback broke the scan off
    Failed     // the device failed; the error text says how
};

} // namespace Imaging
