#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace t7 {

// "О программе": the product, what it is for, and the program file's version.
class Tform6 : public QDialog
{
    Q_OBJECT

public:
    explicit Tform6(QWidget* parent = nullptr);

    QLabel* StaticText1;
    QLabel* StaticText3;
    QLabel* StaticText2;
    QPushButton* Button1;

    // The program file whose version is shown; the running program unless a test says.
    QString programPath;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace t7
