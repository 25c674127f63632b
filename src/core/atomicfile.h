#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace vellaro {

// Replaces a file's whole content so that, whatever happens (a full disk, a crash, a kill in the
// middle), the file holds either its old content or the new one: the data goes to a temporary
// file beside it, is flushed to disk, and then renamed over it. A symbolic link is followed and
// its target replaced; the old file's permissions are kept, and a file this process may not
// write to is not replaced (EACCES, or EROFS on a read-only file system). Missing folders on the
// way to the file are created, readable by their owner only.
// Returns 0 on success, otherwise the errno of the step that failed (nothing is changed then).
int writeFileAtomically(const QString &path, QByteArrayView data);

// The same for content made as it is written: `produce` is handed the function that writes each
// next piece of it. Once a write has failed, the later pieces are dropped and the failure is
// returned.
using AtomicWrite = std::function<void(QByteArrayView piece)>;
int writeFileAtomically(const QString &path,
                        const std::function<void(const AtomicWrite &)> &produce);

} // namespace vellaro
