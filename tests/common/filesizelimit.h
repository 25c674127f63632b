#pragma once

#include <csignal>
#include <sys/resource.h>

// A full disk, as far as this process can tell: while the object lives (or until lift()), files
// may not grow past the given size, and a write past it fails with EFBIG instead of raising
// SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_set = ::getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_set = m_set && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return m_set; }

    void lift()
    {
        if (m_lifted)
            return;
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::signal(SIGXFSZ, SIG_DFL);
        m_lifted = true;
    }

private:
    rlimit m_saved{};
    bool m_set = false;
    bool m_lifted = false;
};
