// The two empty child windows behind the Database and Settings buttons.
#pragma once

#include "app/child_form.h"

class TPatientForm : public TChildForm {
    Q_OBJECT
public:
    explicit TPatientForm(QWidget* owner = nullptr);
};

class TSettingsForm : public TChildForm {
    Q_OBJECT
public:
    explicit TSettingsForm(QWidget* owner = nullptr);
};
