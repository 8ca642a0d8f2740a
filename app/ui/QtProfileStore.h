#pragma once
// Profile strings kept with QSettings under the organisation "Halvern".

#include <QSettings>

#include "platform/ProfileStore.h"

namespace vocomet {

class QtProfileStore final : public platform::ProfileStore {
public:
    std::string ReadString(const std::string& section, const std::string& key) override {
        QSettings s;
        return s.value(QString::fromStdString(section + "/" + key)).toString().toStdString();
    }
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        QSettings s;
        s.setValue(QString::fromStdString(section + "/" + key), QString::fromStdString(value));
        s.sync();
        return s.status() == QSettings::NoError;
    }
};

}  // namespace vocomet
