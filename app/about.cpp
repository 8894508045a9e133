#include "app/about.h"

#include "app/execute.h"
#include "app/forms.h"
#include "app/pictures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace {
const char kLink1[] = "https://www.kestrova.example";
const char kLink2[] = "mailto:support@kestrova.example";

QLabel* MakeLink(QWidget* parent, const QString& name, const QString& address, int y)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setText(QStringLiteral("<a href=\"%1\" style=\"color:#4aa3ff; text-decoration: underline;\">%1</a>").arg(address));
    l->setTextFormat(Qt::RichText);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setCursor(Qt::PointingHandCursor);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setGeometry(580 - 320, y, 308, 20);
    return l;
}
} // namespace

TAboutForm::TAboutForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About the application"));
    setFixedSize(580, 340);
    setModal(true);
    img1 = new QLabel(this);
    img1->setObjectName(QStringLiteral("img1"));
    img1->setGeometry(0, 0, 580, 340);
    img1->setPixmap(Pictures::Splash(QSize(580, 340)));
    img1->installEventFilter(this);
    Label1 = MakeLink(this, QStringLiteral("Label1"), QString::fromLatin1(kLink1), 340 - 56);
    Label2 = MakeLink(this, QStringLiteral("Label2"), QString::fromLatin1(kLink2), 340 - 32);
    Label1->setToolTip(QString::fromLatin1(kLink1));
    Label2->setToolTip(QString::fromLatin1(kLink2));
    connect(Label1, &QLabel::linkActivated, this, [this](const QString&) { Label1Click(); });
    connect(Label2, &QLabel::linkActivated, this, [this](const QString&) { Label2Click(); });
    // Key preview: the dialog sees key presses before its controls.
    installEventFilter(this);
    Label1->installEventFilter(this);
    Label2->installEventFilter(this);
    if (owner)
        move(owner->window()->frameGeometry().center() - rect().center());
    AboutForm = this;
}

TAboutForm::~TAboutForm()
{
    if (AboutForm == this)
        AboutForm = nullptr;
}

void TAboutForm::img1Click() { close(); }
void TAboutForm::Label1Click() { ShellOpenDocument(QString::fromLatin1(kLink1)); }
void TAboutForm::Label2Click() { ShellOpenDocument(QString::fromLatin1(kLink2)); }

void TAboutForm::FormKeyPress(int key)
{
    if (key == 27 || key == 32)
        close();
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        int key = 0;
        if (k->key() == Qt::Key_Escape)
            key = 27;
        else if (k->key() == Qt::Key_Space)
            key = 32;
        else if (!k->text().isEmpty())
            key = k->text().at(0).unicode();
        FormKeyPress(key);
        return true; // no other key does anything (Enter does not close the dialog)
    }
    if (watched == img1 && event->type() == QEvent::MouseButtonRelease) {
        img1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::closeEvent(QCloseEvent* e)
{
    if (AboutForm == this)
        AboutForm = nullptr;
    QDialog::closeEvent(e);
}
