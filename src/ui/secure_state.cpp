#include "ui/secure_state.h"

int SecureMode = 0;
std::string CurrentKeyText;
SecureOutcome LastSecureOutcome;

namespace {

bool locationSet = false;
ProgramLocation location;

} // namespace

void setSecureLocation(const ProgramLocation& where) {
    location = where;
    locationSet = true;
}

const ProgramLocation& secureLocation() {
    if (!locationSet) {
        setSecureLocation(currentProgramLocation());
    }
    return location;
}

std::string secureStoreRoot() {
    return secureLocation().folder + "\\_PWSD";
}

std::string errorCodeText(int code) {
    return "\r\n（エラーコード：" + std::to_string(code) + "）";
}
