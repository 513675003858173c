#include "secure/secure_operation.h"

void postProgress(const SecureRequest& request, UINT message, WPARAM wParam, LPARAM lParam) {
    if (request.progressWindow != nullptr) {
        PostMessageA(request.progressWindow, message, wParam, lParam);
    }
}

void passPoint(const SecureRequest& request, SecurePoint point, unsigned long moved) {
    if (request.checkpoint) {
        request.checkpoint(point, moved);
    }
}
