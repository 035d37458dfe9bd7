#pragma once
// The main window as a preview stands it in: the window shown by itself
// only writes the main window's boxes, so everything else it might do there
// is let go.

#include "engine/interfaces.h"

namespace typetoki {

class PreviewScreen : public Screen {
public:
    QString inputText() const override { return {}; }
    void setLabel4Color(Rgb) override {}
    void setModeLabel(const QString &, Rgb) override {}
    void setInputMethod(InputMethod) override {}
    void setInputGuide(const QString &) override {}
    void setBackground(Rgb) override {}
    void focusInput() override {}
    void showMessage(const QString &) override {}
};

}  // namespace typetoki
