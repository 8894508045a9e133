#include "app/main_form.h"

#include "app/about.h"
#include "app/application.h"
#include "app/card_sources.h"
#include "app/card_store.h"
#include "app/cards.h"
#include "app/child_form.h"
#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/paths.h"
#include "app/pictures.h"
#include "study/point_list.h"
#include "app/prompter.h"
#include "app/small_forms.h"
#include "app/splash.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <optional>

namespace {

struct ButtonDef {
    TMainForm::Button button;
    const char* caption;
    const char* hint;
    const char* glyph;
    bool enabled;
};

const ButtonDef kButtons[] = {
    {TMainForm::Button::Settings, "Settings", "Application settings", "settings", true},
    {TMainForm::Button::Exit, "Exit", "Quit application", "exit", true},
    {TMainForm::Button::IVUS, "IVUS", "Edit IVUS", "ivus", false},
    {TMainForm::Button::ANGIO, "ANGIO", "Edit ANGIO", "angio", false},
    {TMainForm::Button::About, "About", "About the 3D Morvessa application", "about", true},
    {TMainForm::Button::Database, "Database", "Patients database management", "database", true},
    {TMainForm::Button::New, "New", "Create new patient card", "new", true},
    {TMainForm::Button::Cards, "Cards", "Open / Edit patient card", "cards", true},
    {TMainForm::Button::Save, "Save", "Save current patient card", "save", false},
    {TMainForm::Button::Export, "Export", "Export current patient data for Rhino 3D", "export", false},
    {TMainForm::Button::Graphs, "IVUS Graphs", "IVUS Graphs", "graphs", false},
    {TMainForm::Button::Reconstruction3D, "3D reconstruction", "3D reconstruction", "3d", false},
};

std::optional<ChildWindow> WindowOf(TMainForm::Button b)
{
    switch (b) {
    case TMainForm::Button::IVUS: return ChildWindow::IVUS;
    case TMainForm::Button::ANGIO: return ChildWindow::ANGIO;
    case TMainForm::Button::New: return ChildWindow::Wizard;
    case TMainForm::Button::Export: return ChildWindow::Export;
    case TMainForm::Button::Graphs: return ChildWindow::Graphs;
    case TMainForm::Button::Reconstruction3D: return ChildWindow::Viewer3D;
    default: return std::nullopt;
    }
}

// The widget that stands for a window in the MDI area: its subwindow.
QWidget* Frame(QWidget* w)
{
    if (!w)
        return nullptr;
    if (qobject_cast<QMdiSubWindow*>(w))
        return w;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        return sub;
    return w;
}

} // namespace

// ---------------------------------------------------------------------------------------
void BackgroundMdiArea::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    if (!BackgroundPicture.isNull())
        p.drawPixmap(0, 0, BackgroundPicture);
}

// ---------------------------------------------------------------------------------------
TMainForm::TMainForm(ChildWindowRegistry registry, QWidget* owner)
    : QMainWindow(owner), registry_(std::move(registry))
{
    setObjectName(QStringLiteral("MainForm"));
    resize(1024, 769);
    mdi_ = new BackgroundMdiArea(this);
    mdi_->setObjectName(QStringLiteral("ClientArea"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    const QString background = AppPaths::BackgroundFile();
    if (QFileInfo::exists(background))
        mdi_->BackgroundPicture.load(background);
    CreateActions();
    CreateMenuAndBars();
    CreateStatusBar();
    setWindowTitle(ApplicationTitle());
    setWindowIcon(Pictures::Glyph(QStringLiteral("3d")));
    ConnectWindowSignals();
    if (!MainForm)
        MainForm = this;
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

WindowContext TMainForm::Context()
{
    WindowContext c;
    c.Card = this;
    c.Data = dm.data();
    c.Owner = this;
    c.Signals = &signals_;
    c.SaveCard = [this] { SavePatientCard(); };
    c.AnalysisWindowsOpen = [this] { return AnalysisWindowsOpen(); };
    c.CloseAnalysisWindows = [] {
        CloseChildWindow(IVUSForm);
        CloseChildWindow(ANGIOForm);
    };
    c.OpenPatientCard = [this](int code, const QString& name) { OpenPatientCard(code, name); };
    c.OpenCreatedCard = [this](const std::vector<std::uint32_t>& list) { OpenCreatedCard(list); };
    c.ShowExistingChild = [this](const QString& className) { return ShowExistingChild(className); };
    return c;
}

void TMainForm::ConnectWindowSignals()
{
    connect(&signals_, &WindowSignals::statusText, this, [this](const QString& text) { panel1_->setText(text); });
    connect(&signals_, &WindowSignals::calibrationChanged, this, [this](PixelPoint a, PixelPoint b, double distance) {
        CalibrationPointA = a;
        CalibrationPointB = b;
        CalibrationDistance = distance;
    });
    connect(&signals_, &WindowSignals::recordingsImported, this, [this](bool angio, bool ivus) {
        if (angio)
            SetButtonEnabled(Button::ANGIO, true);
        if (ivus) {
            SetButtonEnabled(Button::IVUS, true);
            SetButtonEnabled(Button::Graphs, true);
        }
    });
    connect(&signals_, &WindowSignals::endDiastolicListCleared, this, [this] { EndDiastolicFrames.clear(); });
    connect(&signals_, &WindowSignals::patientSelected, this, &TMainForm::SetSelectedPatient);
    connect(&signals_, &WindowSignals::cardDeleted, this, [this] {
        CloseChildWindow(ANGIOForm);
        CloseChildWindow(IVUSForm);
        UpdateToolbar(CardEvent::CardDeleted);
    });
}

bool TMainForm::AnalysisWindowsOpen() const { return IVUSForm || ANGIOForm; }

void TMainForm::UpdateToolbar(CardEvent event)
{
    const auto set = [this](std::initializer_list<Button> buttons, bool enabled) {
        for (Button b : buttons)
            SetButtonEnabled(b, enabled);
    };
    switch (event) {
    case CardEvent::IvusOpened:  // also after a failed opening: the card is there to save
        set({Button::Save, Button::Export, Button::Graphs, Button::Reconstruction3D}, true);
        break;
    case CardEvent::AngioOpened:
        set({Button::Save, Button::Export}, true);
        break;
    case CardEvent::AnalysisClosed:  // Save stays while the other analysis window is open
        SetButtonEnabled(Button::Save, AnalysisWindowsOpen());
        break;
    case CardEvent::WizardOpened:
        set({Button::Save, Button::Export, Button::Graphs, Button::Reconstruction3D}, false);
        break;
    case CardEvent::CardCreated:
        set({Button::Save, Button::Export, Button::Graphs, Button::Reconstruction3D}, true);
        break;
    case CardEvent::CardDeleted:
        set({Button::ANGIO, Button::IVUS, Button::Graphs, Button::Export, Button::Save}, false);
        break;
    }
}

void TMainForm::CreateActions()
{
    for (const ButtonDef& d : kButtons) {
        const int i = static_cast<int>(d.button);
        auto* a = new QAction(Pictures::Glyph(QString::fromLatin1(d.glyph)), QString::fromLatin1(d.caption), this);
        a->setObjectName(QStringLiteral("dxBarLargeButton%1").arg(i));
        a->setToolTip(QString::fromLatin1(d.hint));
        a->setStatusTip(QString::fromLatin1(d.hint));
        buttons_[i] = a;
        SetButtonEnabled(d.button, d.enabled);
    }
    const std::pair<Button, void (TMainForm::*)()> handlers[] = {
        {Button::Settings, &TMainForm::dxBarLargeButton1Click}, {Button::Exit, &TMainForm::dxBarLargeButton2Click},
        {Button::IVUS, &TMainForm::dxBarLargeButton3Click},     {Button::ANGIO, &TMainForm::dxBarLargeButton4Click},
        {Button::About, &TMainForm::dxBarLargeButton5Click},    {Button::Database, &TMainForm::dxBarLargeButton6Click},
        {Button::New, &TMainForm::dxBarLargeButton7Click},      {Button::Cards, &TMainForm::dxBarLargeButton8Click},
        {Button::Save, &TMainForm::dxBarLargeButton9Click},     {Button::Export, &TMainForm::dxBarLargeButton10Click},
        {Button::Graphs, &TMainForm::dxBarLargeButton11Click},
        {Button::Reconstruction3D, &TMainForm::dxBarLargeButton12Click},
    };
    for (const auto& [b, handler] : handlers) {
        auto h = handler;
        connect(Action(b), &QAction::triggered, this, [this, h] { RunGuarded([&] { (this->*h)(); }); });
    }
}

void TMainForm::CreateMenuAndBars()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    auto addItem = [&](const QString& caption, Button same, bool visible) {
        QAction* a = file->addAction(Action(same)->icon(), caption);
        a->setVisible(visible);
        connect(a, &QAction::triggered, Action(same), &QAction::trigger);
        connect(Action(same), &QAction::changed, a, [a, src = Action(same)] { a->setEnabled(src->isEnabled()); });
        return a;
    };
    addItem(QStringLiteral("New patient card"), Button::New, true)->setObjectName(QStringLiteral("FileNew"));
    addItem(QStringLiteral("Open patient card"), Button::Cards, true)->setObjectName(QStringLiteral("FileOpen"));
    addItem(QStringLiteral("Settings"), Button::Settings, false)->setObjectName(QStringLiteral("FileSettings"));
    file->addSeparator();
    addItem(QStringLiteral("Exit"), Button::Exit, true)->setObjectName(QStringLiteral("FileExit"));

    auto makeBar = [&](const QString& title, std::initializer_list<Button> items) {
        QToolBar* bar = addToolBar(title);
        bar->setObjectName(title);
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        bar->setIconSize(QSize(32, 32));
        for (Button b : items)
            bar->addAction(Action(b));
        return bar;
    };
    makeBar(QStringLiteral("Patient menu"), {Button::New, Button::Cards, Button::Save});
    QToolBar* ivus = makeBar(QStringLiteral("3D IVUS menu"), {Button::ANGIO, Button::IVUS});
    ivus->addSeparator();
    ivus->addAction(Action(Button::Export));
    ivus->addAction(Action(Button::Graphs));
    QToolBar* settings = makeBar(QStringLiteral("Settings menu"), {Button::Reconstruction3D, Button::About, Button::Exit});
    dxBarEdit1 = new QLineEdit(QStringLiteral("<No patient selected>"), this);
    dxBarEdit1->setObjectName(QStringLiteral("dxBarEdit1"));
    dxBarEdit1->setReadOnly(true);
    dxBarEdit1->setFixedWidth(250);
    dxBarEdit1->setToolTip(QStringLiteral("Selected patient"));
    settings->addWidget(dxBarEdit1)->setVisible(false);
}

void TMainForm::CreateStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    panel0_ = new QLabel(this);
    panel0_->setObjectName(QStringLiteral("StatusPanel0"));
    panel0_->setMinimumWidth(300);
    panel1_ = new QLabel(this);
    panel1_->setObjectName(QStringLiteral("StatusPanel1"));
    panel1_->setMinimumWidth(50);
    StatusBar1->addWidget(panel0_);
    StatusBar1->addWidget(panel1_, 1);
}

bool TMainForm::ButtonAvailable(Button b) const
{
    const auto w = WindowOf(b);
    return !w || registry_.IsRegistered(*w);
}

void TMainForm::SetButtonEnabled(Button b, bool enabled)
{
    if (QAction* a = Action(b))
        a->setEnabled(enabled && ButtonAvailable(b));
}

bool TMainForm::ButtonEnabled(Button b) const
{
    const QAction* a = Action(b);
    return a && a->isEnabled();
}

// ---- events ---------------------------------------------------------------------------
void TMainForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!shown_once_) {
        shown_once_ = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    const QString failure = QStringLiteral("An error occured while trying to connect to the database");
    try {
        if (!dm)
            throw DatabaseError("no data module");
        if (!dm->MyEmbConnection1.Connected()) {
            repaint();
            dm->MyEmbConnection1.BaseDir = AppPaths::Root();
            dm->MyEmbConnection1.DataDir = AppPaths::DataDir();
            try {
                dm->MyEmbConnection1.Connect();
            } catch (const std::exception&) {
                Prompt().Error(failure);
            }
            // Said once, now, rather than at the first save that fails.
            const QStringList unwritable = AppPaths::UnwritableDataPlaces();
            if (dm->MyEmbConnection1.Connected() && !unwritable.isEmpty())
                Prompt().Warning(QStringLiteral("The workstation cannot write its data here:\n") +
                                 unwritable.join(QLatin1Char('\n')) +
                                 QStringLiteral("\nCards can be opened and viewed, but nothing can be saved until "
                                                "these can be written."));
        }
        if (SplashScreen)
            SplashScreen->close();
    } catch (...) {
        Prompt().Error(failure);
        if (SplashScreen)
            SplashScreen->close();
    }
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

bool TMainForm::FormCloseQuery()
{
    return Prompt().AskYesNo(QStringLiteral("Quit 3D Kestrova?"));
}

void TMainForm::FormClose()
{
    const auto children = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (*it)
            (*it)->close();
    // Free the closed windows now, so no model or query still uses the connection.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (dm)
        dm->MyEmbConnection1.Disconnect();
}

void TMainForm::AppMessageHook()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// ---- child windows --------------------------------------------------------------------
QMdiSubWindow* TMainForm::AddChild(QWidget* window)
{
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(window);
    QSize size = window->size();
    if (auto* child = qobject_cast<TChildForm*>(window))
        size = child->DesignSize();
    if (sub) {
        mdi_->addSubWindow(sub);
    } else {
        sub = mdi_->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
    }
    sub->resize(size);
    const QSize area = mdi_->viewport()->size();
    sub->move(std::max(0, (area.width() - sub->width()) / 2), std::max(0, (area.height() - sub->height()) / 2));
    return sub;
}

template <typename T>
void TMainForm::OpenChild(QPointer<T>& slot, const std::function<T*()>& create)
{
    WaitCursor cursor;
    if (slot) {
        ShowExistingChild(QString::fromLatin1(slot->metaObject()->className()));
        return;
    }
    QPointer<QWidget> created;
    try {
        T* w = create();
        created = w;
        slot = w;
        if (auto* dialog = qobject_cast<QDialog*>(w)) {
            dialog->hide();
            cursor.Restore();
            dialog->exec();
            if (slot == w)
                slot = nullptr;
            if (created)
                created->deleteLater();
            return;
        }
        if (auto* child = qobject_cast<TChildForm*>(w)) {
            QPointer<T>* target = &slot;
            const void* at = &slot;
            const bool analysis = at == &IVUSForm || at == &ANGIOForm;
            connect(child, &TChildForm::closed, this, [this, target, child, analysis](QWidget*) {
                if (target->data() == static_cast<QWidget*>(child))
                    *target = nullptr;
                if (analysis)
                    UpdateToolbar(CardEvent::AnalysisClosed);
            });
        }
        QMdiSubWindow* sub = AddChild(w);
        sub->show();
        mdi_->setActiveSubWindow(sub);
        cursor.Restore();
    } catch (...) {
        cursor.Restore();
        if (slot && slot.data() == static_cast<QObject*>(created.data()))
            slot = nullptr;
        if (created) {
            QWidget* frame = Frame(created);
            frame->hide();
            frame->deleteLater();
        }
        Prompt().ErrorDialog(QStringLiteral("A problem occured while opening window!") +
                             ExceptionText(std::current_exception()));
    }
}

void TMainForm::OpenRegistered(QPointer<QWidget>& slot, ChildWindow kind)
{
    OpenChild<QWidget>(slot, [this, kind] { return registry_.Create(kind, Context()); });
}

bool TMainForm::ShowExistingChild(const QString& className)
{
    QList<QWidget*> candidates;
    for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        candidates << sub;
        if (sub->widget())
            candidates << sub->widget();
    }
    candidates << QApplication::topLevelWidgets();
    for (QWidget* w : candidates) {
        if (QString::fromLatin1(w->metaObject()->className()) != className)
            continue;
        QWidget* frame = Frame(w);
        if (frame->isMinimized()) {
            frame->showNormal();
        } else {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
                mdi_->setActiveSubWindow(sub);
            frame->raise();
            frame->activateWindow();
        }
        return true;
    }
    return false;
}

void TMainForm::CloseChildWindow(QPointer<QWidget>& slot)
{
    if (!slot)
        return;
    QWidget* frame = Frame(slot);
    if (frame->close())
        slot = nullptr;
}

// ---- the twelve buttons ---------------------------------------------------------------
void TMainForm::dxBarLargeButton1Click()
{
    OpenChild<TSettingsForm>(SettingsForm, [] { return new TSettingsForm; });
}

void TMainForm::dxBarLargeButton2Click() { close(); }

void TMainForm::dxBarLargeButton3Click()
{
    try {
        OpenRegistered(IVUSForm, ChildWindow::IVUS);
    } catch (...) {
        UpdateToolbar(CardEvent::IvusOpened);
        throw;
    }
    UpdateToolbar(CardEvent::IvusOpened);
}

void TMainForm::dxBarLargeButton4Click()
{
    try {
        OpenRegistered(ANGIOForm, ChildWindow::ANGIO);
    } catch (...) {
        UpdateToolbar(CardEvent::AngioOpened);
        throw;
    }
    UpdateToolbar(CardEvent::AngioOpened);
}

void TMainForm::dxBarLargeButton5Click()
{
    OpenChild<TAboutForm>(AboutForm, [this] { return new TAboutForm(this); });
}

void TMainForm::dxBarLargeButton6Click()
{
    OpenChild<TPatientForm>(PatientForm, [] { return new TPatientForm; });
}

void TMainForm::dxBarLargeButton7Click()
{
    const bool open = WizardForm;
    OpenRegistered(WizardForm, ChildWindow::Wizard);
    if (!open && WizardForm)
        UpdateToolbar(CardEvent::WizardOpened);
}

void TMainForm::dxBarLargeButton8Click()
{
    OpenChild<TCardsForm>(CardsForm, [this] { return new TCardsForm(Context()); });
}

void TMainForm::dxBarLargeButton9Click()
{
    SavePatientCard();
    Prompt().Info(QStringLiteral("Save completed successfully"));
}

void TMainForm::dxBarLargeButton10Click() { OpenRegistered(ExportForm, ChildWindow::Export); }

void TMainForm::dxBarLargeButton11Click() { OpenRegistered(GraphForm, ChildWindow::Graphs); }

void TMainForm::dxBarLargeButton12Click()
{
    if (!dm)
        throw DatabaseError("Not connected to the database");
    WallContour lc, la, lb, lw, rc, ra, rb, rw;
    dm->LoadAngioView(AngioView::LAO, PatientCode, lc, la, lb, lw);
    dm->LoadAngioView(AngioView::RAO, PatientCode, rc, ra, rb, rw);
    if (lc.empty() || rc.empty()) {
        Prompt().Plain(QStringLiteral("Cannot construct 3D because you have not defined the LAO or/and RAO catheter"));
        return;
    }
    OpenRegistered(ViewerForm, ChildWindow::Viewer3D);
}

// ---- the open card --------------------------------------------------------------------
QString TMainForm::AnalysedFramePath(std::size_t k) const { return AppPaths::AnalysedFramePath(*this, k); }

void TMainForm::SetSelectedPatient(int code, const QString& name)
{
    PatientCode = code;
    patient_name_ = name;
    const QString text = QStringLiteral("Selected patient: ") + QString::number(code) + QStringLiteral(" (") + name +
                         QStringLiteral(")");
    panel0_->setText(text);
    dxBarEdit1->setText(text);
}

int TMainForm::CountFrameFiles(const QString& folder) const
{
    return static_cast<int>(QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files).size());
}

void TMainForm::OpenPatientCard(int code, const QString& name)
{
    if (ANGIOForm || IVUSForm || LAOFrameCount > 0 || RAOFrameCount > 0 || IVUSFrameCount > 0) {
        if (!Prompt().AskYesNo(QStringLiteral("Close current card?")))
            return;
    }
    // Nothing of the previous card may stay with the new one, even when opening stops early.
    ForgetCard();
    CloseChildWindow(ANGIOForm);
    CloseChildWindow(IVUSForm);
    ReadCard(code, name, [](Notice kind, const QString& text) {
        if (kind == Notice::Error)
            Prompt().Error(text);
        else
            Prompt().Warning(text);
    });
}

void TMainForm::ReloadOpenCard()
{
    if (PatientCode < 0)
        return;
    ForgetCard();
    ReadCard(PatientCode, patient_name_, [](Notice, const QString&) {});
}

void TMainForm::OpenCreatedCard(const std::vector<std::uint32_t>& endDiastolicFrames)
{
    UpdateToolbar(CardEvent::CardCreated);
    ReloadOpenCard();
    EndDiastolicFrames = endDiastolicFrames;
    ForgetCalibration();
}

void TMainForm::ForgetCard()
{
    LAOFrameCount = RAOFrameCount = IVUSFrameCount = 0;
    EndDiastolicFrames.clear();
    ForgetCalibration();
}

void TMainForm::ReadCard(int code, const QString& name, const CardNotice& notify)
{
    WaitCursor cursor;
    SetSelectedPatient(code, name);
    auto disableIvus = [this] {
        SetButtonEnabled(Button::IVUS, false);
        SetButtonEnabled(Button::Graphs, false);
        SetButtonEnabled(Button::Reconstruction3D, false);
    };

    const std::pair<const char*, int*> angio[] = {{"LAO", &LAOFrameCount}, {"RAO", &RAOFrameCount}};
    for (const auto& [recording, count] : angio) {
        const QString folder = AppPaths::RecordingDir(code, QString::fromLatin1(recording));
        if (QFileInfo(folder).isDir()) {
            *count = CountFrameFiles(folder);
            if (*count == 0) {
                cursor.Restore();
                SetButtonEnabled(Button::ANGIO, false);
                disableIvus();
                notify(Notice::Error, QStringLiteral("Patient's %1 images cannot be found").arg(QLatin1String(recording)));
                return;
            }
            SetButtonEnabled(Button::ANGIO, true);
        } else {
            cursor.Restore();
            disableIvus();
            notify(Notice::Warning, QStringLiteral("Patient's %1 data are not defined").arg(QLatin1String(recording)));
        }
    }

    const QString ivusFolder = AppPaths::RecordingDir(code, QStringLiteral("IVUS"));
    if (QFileInfo(ivusFolder).isDir()) {
        if (!dm)
            throw DatabaseError("Not connected to the database");
        dm->qGetIVUS.Param(QStringLiteral("patientID"), code);
        dm->qGetIVUS.Open();
        QString text;
        try {
            if (!dm->qGetIVUS.Eof())
                text = dm->qGetIVUS.FieldByName(QStringLiteral("telodiastolic")).AsString();
        } catch (...) {
            dm->qGetIVUS.Close();
            throw;
        }
        dm->qGetIVUS.Close();
        EndDiastolicFrames = text.isEmpty() ? std::vector<std::uint32_t>{} : ParseIntList(text.toStdString());
        if (EndDiastolicFrames.empty()) {
            IVUSFrameCount = CountFrameFiles(ivusFolder);
        } else {
            // Analysed frame k stays list entry k: a missing file is an empty frame, not a shift.
            int present = 0;
            for (const std::uint32_t n : EndDiastolicFrames) {
                const QString path = AppPaths::FrameFile(code, QStringLiteral("IVUS"), n);
                const QFileInfo file(path);
                if (file.exists() && !file.isDir()) {
                    ++present;
                } else {
                    cursor.Restore();
                    notify(Notice::Warning, path + QStringLiteral(" cannot be found!"));
                }
            }
            IVUSFrameCount = present > 0 ? static_cast<int>(EndDiastolicFrames.size()) : 0;
        }
        if (IVUSFrameCount == 0) {
            cursor.Restore();
            disableIvus();
            notify(Notice::Error, QStringLiteral("Patient's IVUS images cannot be found"));
            return;
        }
        SetButtonEnabled(Button::IVUS, true);
        SetButtonEnabled(Button::Graphs, true);
        SetButtonEnabled(Button::Reconstruction3D, true);
    } else {
        cursor.Restore();
        disableIvus();
        notify(Notice::Warning, QStringLiteral("Patient's IVUS data are not defined"));
    }

    if (!dm)
        throw DatabaseError("Not connected to the database");
    dm->qGetPatient.Param(QStringLiteral("code"), PatientCode);
    dm->qGetPatient.Open();
    try {
        if (!dm->qGetPatient.Eof()) {
            auto f = [](const QString& c) { return dm->qGetPatient.FieldByName(c); };
            CalibrationPointA = {f(QStringLiteral("calibrationPointAX")).AsInteger(),
                                 f(QStringLiteral("calibrationPointAY")).AsInteger()};
            CalibrationPointB = {f(QStringLiteral("calibrationPointBX")).AsInteger(),
                                 f(QStringLiteral("calibrationPointBY")).AsInteger()};
            CalibrationDistance = f(QStringLiteral("calibrationDistance")).AsFloat();
        } else {
            CalibrationPointA = {};
            CalibrationPointB = {};
            CalibrationDistance = 0.0;
        }
    } catch (...) {
        dm->qGetPatient.Close();
        throw;
    }
    dm->qGetPatient.Close();
    SetButtonEnabled(Button::Export, true);
    cursor.Restore();
}

void TMainForm::SavePatientCard()
{
    if (!dm)
        throw DatabaseError("Not connected to the database");
    std::optional<AngioSnapshot> angio;
    std::optional<IvusSnapshot> ivus;
    if (ANGIOForm) {
        auto* source = dynamic_cast<AngioCardSource*>(ANGIOForm.data());
        if (!source)
            throw std::runtime_error("The angiography window has nothing to save");
        angio = source->TakeAngioSnapshot();
    }
    if (IVUSForm) {
        auto* source = dynamic_cast<IvusCardSource*>(IVUSForm.data());
        if (!source)
            throw std::runtime_error("The IVUS window has nothing to save");
        ivus = source->TakeIvusSnapshot();
    }
    SaveCard(*dm, PatientCode, EndDiastolicFrames, angio ? &*angio : nullptr, ivus ? &*ivus : nullptr);
}
