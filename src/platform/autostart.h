#pragma once

#include <QString>

namespace vellaro {

// Whether the program starts together with the user's session. The setting is one named value
// whose content is the command to run; it exists or it does not.
class AutostartStore
{
public:
    virtual ~AutostartStore() = default;

    // Whether the store can be read and changed right now. A store that cannot is left alone.
    virtual bool isOpen() const = 0;
    // Whether the value exists; false also when that cannot be found out.
    virtual bool valueExists() const = 0;
    // Removes the value; false when it could not be removed.
    virtual bool deleteValue() = 0;
    // Writes the value with the executable's full path as its command; throws Error("Failed to
    // set data for '<name>'") when the write is refused.
    virtual void writeValue(const QString &executablePath) = 0;
};

// The freedesktop autostart entry "<name>.desktop" in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart), which every XDG-compliant session starts at login.
//
// A missing autostart folder counts as a store without the value, and is created when the
// value is written. A folder that exists but cannot be listed or written is a store that does
// not open.
class XdgAutostartStore final : public AutostartStore
{
public:
    // Empty folder: the session's autostart folder, looked up at each call.
    explicit XdgAutostartStore(QString valueName, QString folder = {});

    bool isOpen() const override;
    bool valueExists() const override;
    bool deleteValue() override;
    void writeValue(const QString &executablePath) override;

    QString folder() const;
    QString entryPath() const;

    // The Exec= value that runs exactly this file: quoted and escaped as the Desktop Entry
    // standard asks when the path holds a reserved character, '%' doubled always.
    static QString execValue(const QString &executablePath);
    // The text as a string value of the entry file, with the standard's escapes.
    static QString stringValue(const QString &text);
    // The whole entry file. TryExec names the program too, so that sessions pass over an entry
    // whose program has since been removed.
    static QByteArray entryContent(const QString &name, const QString &executablePath);

private:
    QString m_valueName;
    QString m_folder;
};

} // namespace vellaro
