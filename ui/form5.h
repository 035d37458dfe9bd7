#pragma once
// The staff screen: a landscape and the credits. A click on the picture
// closes it; the labels and the background take no clicks.

#include <QDialog>
#include <array>

class QLabel;

namespace typetoki {

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget *parent = nullptr);

    // Controls, named as the window's design names them.
    QLabel *Image1 = nullptr;
    QLabel *Label5 = nullptr;
    std::array<QLabel *, 2> Label1{};  // headings: 原案, 企画/製作
    std::array<QLabel *, 2> Label2{};  // the names under them
    std::array<QLabel *, 2> Label6{};

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool imagePressed_ = false;
};

}  // namespace typetoki
