#pragma once
// What a data class offers when a stored document is handed to it: the value its link field takes
// for the current record. The document itself stays opaque to the forms.

#include <QVariant>

class IDokumentLink {
public:
    virtual ~IDokumentLink() = default;
    // The value written into the document class's link field; null when there is none.
    virtual QVariant DokumentLinkValue() const = 0;
};
