#include "ui/secure_state.h"

int SecureMode = 0;
std::string CurrentKeyText;
