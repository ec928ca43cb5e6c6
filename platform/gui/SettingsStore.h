#pragma once

#include <memory>
#include <optional>
#include <string>

class QSettings;

namespace platform {

// String values under a key path of the user's own settings (QSettings in
// the user's configuration folder).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Empty when the value is absent.
    virtual std::optional<std::string> readString(const std::string& keyPath,
                                                  const std::string& valueName) = 0;
    // Creates the key when missing.
    virtual bool writeString(const std::string& keyPath, const std::string& valueName,
                             const std::string& value) = 0;
};

// QSettings-backed store: the user's settings of this application, or an INI
// file of the caller's choosing.
class QSettingsStore final : public SettingsStore {
public:
    QSettingsStore();
    explicit QSettingsStore(const std::string& iniFile);
    ~QSettingsStore() override;

    std::optional<std::string> readString(const std::string& keyPath,
                                          const std::string& valueName) override;
    bool writeString(const std::string& keyPath, const std::string& valueName,
                     const std::string& value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace platform
