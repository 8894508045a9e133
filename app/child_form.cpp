#include "app/child_form.h"

#include "app/pictures.h"

#include <QCloseEvent>

TChildForm::TChildForm(const QString& name, const QString& caption, QSize client, QWidget* parent)
    : QMdiSubWindow(parent), design_size_(client)
{
    setObjectName(name);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(client);
    setWindowIcon(Pictures::Glyph(QStringLiteral("3d")));
}

void TChildForm::closeEvent(QCloseEvent* e)
{
    if (closing_done_) {
        QMdiSubWindow::closeEvent(e);
        return;
    }
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(e);
    if (!e->isAccepted())
        return;
    closing_done_ = true;
    FormClose();
    emit closed(this);
}
