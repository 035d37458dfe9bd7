#pragma once
// The how-to-play screen: the four game modes, one line of explanation each,
// over the two chants written across the background.

#include <QDialog>
#include <QString>
#include <array>

class QLabel;

namespace typetoki {

// Thirteen lines, each ended by CR LF: a heading, then the four modes, each
// a title and an explanation indented by two ideographic spaces, with an
// empty line before every mode.
QString HowToPlayText();

class Form6 : public QDialog {
    Q_OBJECT
public:
    explicit Form6(QWidget *parent = nullptr);

    // Controls, named as the window's design names them.
    QLabel *Label1 = nullptr;
    QLabel *Label5 = nullptr;
    std::array<QLabel *, 2> Label6{};
};

}  // namespace typetoki
