#pragma once

#include <QIcon>
#include <QList>
#include <QObject>

namespace vellaro {

// A numbered set of small pictures, owned by a window and referred to by its components.
class TImageList final : public QObject
{
public:
    using QObject::QObject;

    int Count() const { return int(m_images.size()); }
    void Add(const QIcon &image) { m_images.append(image); }
    void Clear() { m_images.clear(); }
    // The picture at index; an empty icon for an index outside the list.
    QIcon GetIcon(int index) const
    {
        return index >= 0 && index < m_images.size() ? m_images.at(index) : QIcon();
    }

private:
    QList<QIcon> m_images;
};

} // namespace vellaro
