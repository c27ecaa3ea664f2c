#pragma once
// Files of the mail sender that appear whole or not at all, and a GMime stream over a file
// descriptor with a large buffer of its own: GMime's own file streams seek before every 4 KB
// read or write, which made a draft with large attachments spend its time in system calls.

#include <QString>
#include <QTemporaryFile>

typedef struct _GMimeStream GMimeStream;

namespace UEMailSenden {

// A temporary file beside target that Commit renames onto it (replacing an older one); dropped
// without a commit, it is removed. Not synced to disk: what is written is a scratch file.
class TReplacingFile final {
public:
    explicit TReplacingFile(const QString& target);
    // False with ErrorString() when the temporary file cannot be made.
    bool Open();
    int Handle() const { return m_temp.handle(); }
    bool Commit();
    QString ErrorString() const { return m_error; }

private:
    QString m_target;
    QTemporaryFile m_temp;
    QString m_error;
};

// A new GMime stream over fd that reads or writes in blocks of 256 KB and never seeks while
// reading on; takes over fd (closed with the stream) when owner is set. A write of a block or
// more goes out at once with what waits in the buffer, in one system call and without a copy.
GMimeStream* BufferedFdStream(int fd, bool owner);
// The descriptor of a stream that BufferedFdStream made; -1 for any other stream.
int BufferedFdStreamHandle(GMimeStream* stream);

} // namespace UEMailSenden
