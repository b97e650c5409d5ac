#include "device/StableText.h"

void CStableText::Offer(const std::string& text) {
    if (repeats > 0 && text == latest) {
        repeats = repeats < kReportsToTrust ? repeats + 1 : repeats; // no overflow over years
    } else {
        latest = text;
        repeats = 1;
    }
    if (repeats >= kReportsToTrust) {
        stable = latest;
    }
}

void CStableText::Clear() {
    latest.clear();
    stable.clear();
    repeats = 0;
}

void CStableText::RestartCount() {
    repeats = 0;
}
