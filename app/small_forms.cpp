#include "app/small_forms.h"

#include <QWidget>

TPatientForm::TPatientForm(QWidget* owner)
    : TChildForm(QStringLiteral("PatientForm"), QStringLiteral("PatientForm"), QSize(730, 485), owner)
{
    setWidget(new QWidget);
}

TSettingsForm::TSettingsForm(QWidget* owner)
    : TChildForm(QStringLiteral("SettingsForm"), QStringLiteral("SettingsForm"), QSize(634, 473), owner)
{
    setWidget(new QWidget);
}
