#pragma once
// The buttons of a small form dialog, under its fields: "OK" (the default, which closes the
// dialog accepted only when the form's check allows) and "Anuluj".
#include <functional>

class QDialog;
class QLayout;
class QPushButton;

namespace vandrel::app::admin {

// Lays out Fields and the buttons in Dialog; Ok and Cancel receive the buttons (object names
// "OkButton" and "CancelButton", as tests find them).
void AddFormButtons(QDialog* Dialog, QLayout* Fields, QPushButton*& Ok, QPushButton*& Cancel,
                    std::function<bool()> Check);

}  // namespace vandrel::app::admin
