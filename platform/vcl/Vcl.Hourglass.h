#pragma once
// Shows the wait cursor for its lifetime. Guards nest: the cursor returns when the outermost one
// ends, also when an exception leaves the scope.

namespace Vcl {

class THourglass final {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

    // Gives the cursor back before the scope ends; the destructor then does nothing.
    void Restore();
    // Guards alive in the process.
    static int Depth();

private:
    bool m_active = true;
};

} // namespace Vcl
