#pragma once

namespace typetoki {

// What Qt has no call for: asking the desktop's input method to turn Japanese
// entry on in the box that has the focus. Qt can only tell an input method
// that a box takes composed text or that it does not.
class InputMethodSwitch {
public:
    virtual ~InputMethodSwitch() = default;
    virtual void turnOn() = 0;
};

// fcitx5, when it is this program's input method: its controller on the
// session bus switches the focused input context to its input method.
// Elsewhere (another input method, none, no session bus) it does nothing.
class Fcitx5Switch final : public InputMethodSwitch {
public:
    void turnOn() override;
};

}  // namespace typetoki
