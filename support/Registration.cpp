#include "support/Registration.h"

#include "support/FileUtil.h"
#include "support/MessageBox.h"

#include <QMessageBox>
#include <QString>

#include <cstdlib>
#include <filesystem>

namespace Support {

namespace {

class NoRegistry final : public ComponentRegistry {
public:
    bool WavDestRegistered() override { return false; }
    void Rescan(const std::string&) override {}
};

ComponentRegistry* g_Registry = nullptr;

ComponentRegistry& Registry() {
    static NoRegistry none;
    return g_Registry != nullptr ? *g_Registry : none;
}

MessageShower& Shower() {
    static MessageShower shower = [](const std::string& pText, int pStyle) {
        QMessageBox box((pStyle & 0xF0) == vbCritical ? QMessageBox::Critical : QMessageBox::Information,
                        QString(), QString::fromStdString(pText));
        box.exec();
    };
    return shower;
}

std::string Lower(const std::string& pText) {
    return QString::fromStdString(pText).toLower().toStdString();
}

} // namespace

void UseComponentRegistry(ComponentRegistry* pRegistry) {
    g_Registry = pRegistry;
}

void UseMessageShower(MessageShower pShower) {
    if (pShower) Shower() = std::move(pShower);
}

int UsesSysWow64() {
    return 0;
}

std::string ComponentFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    const std::string data = xdg != nullptr && xdg[0] == '/'
                                 ? std::string(xdg)
                                 : std::string(home != nullptr ? home : "") + "/.local/share";
    return data + "/gstreamer-1.0/plugins/";
}

int IsComponentRegistered(const std::string& pName) {
    if (Lower(pName) != Lower(kWavDestFile)) return 1;
    try {
        return Registry().WavDestRegistered() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int RegisterComponent(const std::string& pName, int pUnregister, int pInPlace) {
    int result = 0;
    std::string error;
    const std::string folder = ComponentFolder();
    const std::string inApp = AppFolder() + pName;
    const std::string inSys = folder + pName;
    try {
        // The runtime's rescan is the registration tool here, and it is always present.
        const bool haveApp = FileExists(inApp) != 0;
        const bool haveSys = FileExists(inSys) != 0;
        if (pUnregister != 0 && !haveSys) return 1;
        if (pUnregister == 0 && !haveSys && !haveApp) {
            error = inApp + "が存在しません";
        } else if (pInPlace != 0 && !haveApp) {
            error = inApp + "が存在しません";
        } else if (pUnregister != 0) {
            if (pInPlace == 0 && !DeleteFileSafe(inSys)) {
                error = inSys + " を削除できません";
            } else {
                Registry().Rescan(pInPlace != 0 ? AppFolder() : folder);
                WaitWithEvents(500, 10);
                result = IsComponentRegistered(pName) == 0 ? 1 : 0;
            }
        } else {
            const std::string target = pInPlace != 0 ? inApp : inSys;
            if (pInPlace == 0 && !haveSys) {
                std::error_code ec;
                std::filesystem::create_directories(folder, ec);
                if (!CopyFileSafe(inApp, target, 0)) error = "コピーできません : " + inApp + " To " + target;
            }
            if (error.empty()) {
                if (IsComponentRegistered(pName) == 0) {
                    Shower()(pName + "を登録します", vbInformation);
                    Registry().Rescan(pInPlace != 0 ? AppFolder() : folder);
                }
                if (IsComponentRegistered(pName) == 1)
                    result = 1;
                else
                    error = pName + "の登録に失敗しました";
            }
        }
    } catch (...) {
        // Trapped: the message below still tells what was found so far.
    }
    if (!error.empty())
        Shower()(error + "\r\n" + pName + "の登録に失敗しました\r\n" +
                     "初回起動時は管理者として実行してみてください",
                 vbCritical);
    return result;
}

} // namespace Support
