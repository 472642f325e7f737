#include "core/MiscFunc.h"

#include <QGuiApplication>

namespace {

// queryKeyboardModifiers asks the platform plug-in, which exists only with a QGuiApplication.
bool IsModifierDown(Qt::KeyboardModifier modifier) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier);
}

template <class Text>
std::vector<Text> SplitPieces(const Text& text, typename Text::value_type delimiter) {
    std::vector<Text> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(delimiter, start);
        if (end == Text::npos) {
            end = text.size();
        }
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

} // namespace

bool CMiscFunc::IsCtrlDown() {
    return IsModifierDown(Qt::ControlModifier);
}

bool CMiscFunc::IsShiftDown() {
    return IsModifierDown(Qt::ShiftModifier);
}

bool CMiscFunc::IsAltDown() {
    return IsModifierDown(Qt::AltModifier);
}

std::vector<std::string> CMiscFunc::SplitString(const std::string& text, char delimiter) {
    return SplitPieces(text, delimiter);
}

std::vector<std::wstring> CMiscFunc::SplitString(const std::wstring& text, wchar_t delimiter) {
    return SplitPieces(text, delimiter);
}
