#include "app/cards.h"

#include "app/data.h"
#include "app/errors.h"
#include "app/pictures.h"
#include "app/prompter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const char* const kTableColumns[] = {"code", "surname", "name", "sex", "birthdate", "hematocrit", "glucose",
                                     "urea", "creatinine", "triglycerides", "cholesterol", "LDC-C", "HDL-C"};

// A 14 x 14 badge in the given colour: a disc or a square.
QIcon Badge(const QColor& colour, bool disc)
{
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    if (disc)
        p.drawEllipse(1, 1, 12, 12);
    else
        p.drawRect(2, 2, 10, 10);
    return QIcon(pm);
}

QIcon SexIcon(bool male)
{
    static const QIcon icons[2] = {Badge(QColor(220, 100, 150), true), Badge(QColor(70, 120, 200), false)};
    return icons[male ? 1 : 0];
}

// One card per patient: the code as caption, then the patient's data and blood values.
class CardDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kWidth = 211;
    static constexpr int kRow = 17;

    struct Row { const char* column; const char* caption; };
    static constexpr Row kTop[] = {{"surname", "Surname"}, {"name", "Name"}, {"sex", "Gender"}, {"birthdate", "Birthdate"}};
    static constexpr Row kBlood[] = {{"glucose", "Glucose"}, {"hematocrit", "Hematocrit"}, {"urea", "Urea"},
                                     {"creatinine", "Creatinine"}, {"triglycerides", "Triglycerides"},
                                     {"cholesterol", "Cholesterol"}, {"LDC-C", "LDC-C"}, {"HDL-C", "HDL-C"}};

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(kWidth, kRow * (1 + 4 + 1 + 8) + 10);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* model = index.model();
        auto value = [&](const char* column) {
            const auto* proxy = static_cast<const QSortFilterProxyModel*>(model);
            const auto* source = static_cast<const QSqlTableModel*>(proxy->sourceModel());
            const int c = source->fieldIndex(QString::fromLatin1(column));
            return model->data(index.siblingAtColumn(c), Qt::DisplayRole).toString();
        };
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRect r = option.rect.adjusted(3, 3, -3, -3);
        const bool selected = option.state & QStyle::State_Selected;
        p->setPen(QColor(150, 160, 180));
        p->setBrush(Qt::white);
        p->drawRoundedRect(r, 4, 4);
        QRect caption(r.left(), r.top(), r.width(), kRow + 2);
        p->setBrush(selected ? option.palette.highlight() : QBrush(QColor(222, 230, 244)));
        p->drawRoundedRect(caption, 4, 4);
        p->setPen(selected ? option.palette.highlightedText().color() : QColor(20, 40, 80));
        QFont bold = option.font;
        bold.setBold(true);
        p->setFont(bold);
        p->drawText(caption.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                    QStringLiteral("Code ") + value("code"));
        int y = caption.bottom() + 2;
        auto line = [&](const QString& label, const QString& text, bool category = false) {
            QRect row(r.left() + 6, y, r.width() - 12, kRow);
            p->setFont(category ? bold : option.font);
            p->setPen(category ? QColor(20, 40, 80) : QColor(90, 90, 90));
            p->drawText(row, Qt::AlignVCenter | Qt::AlignLeft, label);
            if (!category) {
                p->setPen(Qt::black);
                p->drawText(row.adjusted(90, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
            }
            y += kRow;
        };
        for (const Row& row : kTop)
            line(QString::fromLatin1(row.caption), value(row.column));
        line(QStringLiteral("Blood measure"), {}, true);
        for (const Row& row : kBlood)
            line(QString::fromLatin1(row.caption), value(row.column));
        p->restore();
    }
};

// Editors of the tabular view: names hold at most 50 characters, the gender is chosen.
class CardsEditDelegate : public QStyledItemDelegate {
public:
    CardsEditDelegate(const QSqlTableModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString field = model_->record().fieldName(index.column());
        if (field == QLatin1String("sex")) {
            auto* box = new QComboBox(parent);
            box->addItem(QStringLiteral("Male"), QStringLiteral("m"));
            box->addItem(QStringLiteral("Female"), QStringLiteral("f"));
            return box;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && (field == QLatin1String("surname") || field == QLatin1String("name")))
            line->setMaxLength(50);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int i = box->findData(index.data(Qt::EditRole).toString().trimmed().toLower());
            box->setCurrentIndex(std::max(i, 0));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, box->currentData());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    const QSqlTableModel* model_;
};

} // namespace

// ---------------------------------------------------------------------------------------
Qt::ItemFlags CardsProxyModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QSortFilterProxyModel::flags(index);
    const auto* source = static_cast<const QSqlTableModel*>(sourceModel());
    if (!editable_ || index.column() == source->fieldIndex(QStringLiteral("code")))
        f &= ~Qt::ItemIsEditable;
    return f;
}

QVariant CardsProxyModel::data(const QModelIndex& index, int role) const
{
    const auto* source = static_cast<const QSqlTableModel*>(sourceModel());
    if (role == Qt::BackgroundRole && index.column() == source->fieldIndex(QStringLiteral("code")))
        return QColor(255, 248, 220); // cream
    if (role == Qt::DisplayRole && index.column() == source->fieldIndex(QStringLiteral("birthdate"))) {
        const QVariant v = QSortFilterProxyModel::data(index, role);
        return v.typeId() == QMetaType::QDate ? QVariant(v.toDate().toString(QStringLiteral("dd/MM/yyyy"))) : v;
    }
    if (role == Qt::DecorationRole && index.column() == source->fieldIndex(QStringLiteral("sex"))) {
        const QString s = QSortFilterProxyModel::data(index, Qt::EditRole).toString().trimmed().toLower();
        if (s == QLatin1String("m") || s == QLatin1String("f"))
            return SexIcon(s == QLatin1String("m"));
    }
    return QSortFilterProxyModel::data(index, role);
}

void CardsProxyModel::SetEditable(bool on) { editable_ = on; }

void CardsTableView::CommitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

// ---------------------------------------------------------------------------------------
TCardsForm::TCardsForm(const WindowContext& context, QWidget* owner)
    : TChildForm(QStringLiteral("CardsForm"), QStringLiteral("Open patient card"), QSize(876, 573), owner),
      context_(context)
{
    Tdm* dm = context_.Data;
    if (!dm)
        throw DatabaseError("Not connected to the database");
    model_ = dm->NewPatientsModel();
    model_->Refresh();

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    CardsToolbar = new QToolBar(QStringLiteral("Cards toolbar"), body);
    CardsToolbar->setObjectName(QStringLiteral("Cards toolbar"));
    CardsToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    CardsToolbar->setIconSize(QSize(32, 32));
    auto makeButton = [&](const char* name, const char* caption, const char* glyph) {
        auto* a = CardsToolbar->addAction(Pictures::Glyph(QString::fromLatin1(glyph)), QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString::fromLatin1(caption));
        return a;
    };
    dxBarLargeButton1 = makeButton("dxBarLargeButton1", "Open card", "open");
    dxBarLargeButton2 = makeButton("dxBarLargeButton2", "Edit card", "edit");
    dxBarLargeButton3 = makeButton("dxBarLargeButton3", "Delete card", "delete");
    dxBarLargeButton2->setCheckable(true);
    connect(dxBarLargeButton1, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton1Click(); }); });
    connect(dxBarLargeButton2, &QAction::toggled, this,
            [this](bool down) { RunGuarded([this, down] { dxBarLargeButton2Click(down); }); });
    connect(dxBarLargeButton3, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton3Click(); }); });
    layout->addWidget(CardsToolbar);

    proxy_ = new CardsProxyModel(this);
    proxy_->setSourceModel(model_.get());
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    selection_ = new QItemSelectionModel(proxy_, this);

    Pages = new QTabWidget(body);
    Pages->setObjectName(QStringLiteral("cxGrid1"));

    cxGrid1DBTableView1 = new CardsTableView;
    cxGrid1DBTableView1->setObjectName(QStringLiteral("cxGrid1DBTableView1"));
    cxGrid1DBTableView1->setModel(proxy_);
    cxGrid1DBTableView1->setItemDelegate(new CardsEditDelegate(model_.get(), cxGrid1DBTableView1));
    cxGrid1DBTableView1->setSelectionModel(selection_);
    cxGrid1DBTableView1->setSelectionMode(QAbstractItemView::SingleSelection);
    cxGrid1DBTableView1->setAlternatingRowColors(true);
    cxGrid1DBTableView1->verticalHeader()->setVisible(true); // the row indicator
    cxGrid1DBTableView1->verticalHeader()->setDefaultSectionSize(22);
    cxGrid1DBTableView1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    cxGrid1DBTableView1->horizontalHeader()->setStretchLastSection(true);
    cxGrid1DBTableView1->setSortingEnabled(true);
    cxGrid1DBTableView1->sortByColumn(-1, Qt::AscendingOrder);
    QStringList shown;
    for (const char* c : kTableColumns)
        shown << QString::fromLatin1(c);
    for (int c = 0; c < model_->columnCount(); ++c) {
        const QString field = model_->record().fieldName(c);
        cxGrid1DBTableView1->setColumnHidden(c, !shown.contains(field));
    }
    Pages->addTab(cxGrid1DBTableView1, QStringLiteral("Tabular view"));

    auto* cardPage = new QWidget;
    auto* cardLayout = new QVBoxLayout(cardPage);
    cardLayout->setContentsMargins(4, 4, 4, 4);
    FilterBox = new QLineEdit;
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->setPlaceholderText(QStringLiteral("Filter"));
    FilterBox->setClearButtonEnabled(true);
    connect(FilterBox, &QLineEdit::textChanged, proxy_, &QSortFilterProxyModel::setFilterFixedString);
    cardLayout->addWidget(FilterBox);
    cxGrid1DBCardView1 = new QListView;
    cxGrid1DBCardView1->setObjectName(QStringLiteral("cxGrid1DBCardView1"));
    cxGrid1DBCardView1->setViewMode(QListView::IconMode);
    cxGrid1DBCardView1->setFlow(QListView::LeftToRight);
    cxGrid1DBCardView1->setWrapping(true);
    cxGrid1DBCardView1->setResizeMode(QListView::Adjust);
    cxGrid1DBCardView1->setMovement(QListView::Static);
    cxGrid1DBCardView1->setSpacing(4);
    cxGrid1DBCardView1->setUniformItemSizes(true);
    cxGrid1DBCardView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxGrid1DBCardView1->setItemDelegate(new CardDelegate(cxGrid1DBCardView1));
    cxGrid1DBCardView1->setModel(proxy_);
    cxGrid1DBCardView1->setModelColumn(model_->fieldIndex(QStringLiteral("code")));
    cxGrid1DBCardView1->setSelectionModel(selection_);
    cardLayout->addWidget(cxGrid1DBCardView1);
    Pages->addTab(cardPage, QStringLiteral("Card View"));
    layout->addWidget(Pages, 1);
    setWidget(body);

    cxGrid1DBTableView1->resizeColumnsToContents();
    SetEditing(false);
    if (proxy_->rowCount() > 0)
        SetCurrentRow(0);
}

TCardsForm::~TCardsForm() = default;

int TCardsForm::RowCount() const { return proxy_ ? proxy_->rowCount() : 0; }

void TCardsForm::SetCurrentRow(int row)
{
    const QModelIndex i = proxy_->index(row, model_->fieldIndex(QStringLiteral("code")));
    selection_->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TCardsForm::CurrentRow() const
{
    if (!selection_)
        return -1;
    const QModelIndex i = selection_->currentIndex();
    if (i.isValid())
        return i.row();
    return proxy_->rowCount() > 0 ? 0 : -1;
}

QVariant TCardsForm::CurrentValue(const QString& column) const
{
    const int row = CurrentRow();
    return proxy_->data(proxy_->index(row, model_->fieldIndex(column)), Qt::EditRole);
}

void TCardsForm::SetEditing(bool on)
{
    proxy_->SetEditable(on);
    if (on) {
        cxGrid1DBTableView1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                             QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
        cxGrid1DBTableView1->setSelectionBehavior(QAbstractItemView::SelectItems);
    } else {
        cxGrid1DBTableView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        cxGrid1DBTableView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    }
}

void TCardsForm::dxBarLargeButton1Click()
{
    if (RowCount() == 0)
        return;
    const int code = CurrentValue(QStringLiteral("code")).toInt();
    const QString name = CurrentValue(QStringLiteral("name")).toString() + QLatin1Char(' ') +
                         CurrentValue(QStringLiteral("surname")).toString();
    repaint();
    struct CloseAfter {
        TCardsForm* form;
        ~CloseAfter() { form->close(); }
    } closeAfter{this};
    if (context_.OpenPatientCard)
        context_.OpenPatientCard(code, name);
}

void TCardsForm::dxBarLargeButton2Click(bool down)
{
    if (dxBarLargeButton2->isChecked() != down) {
        const QSignalBlocker block(dxBarLargeButton2);
        dxBarLargeButton2->setChecked(down);
    }
    if (down) {
        SetEditing(true);
        return;
    }
    cxGrid1DBTableView1->CommitOpenEditor();
    SetEditing(false);
    model_->Post();
}

void TCardsForm::dxBarLargeButton3Click()
{
    if (RowCount() == 0)
        return;
    const QString code = CurrentValue(QStringLiteral("code")).toString();
    const QString question = QStringLiteral("Do you want to permanetly delete patient ") + code + QLatin1Char(' ') +
                             CurrentValue(QStringLiteral("name")).toString() + QLatin1Char(' ') +
                             CurrentValue(QStringLiteral("surname")).toString() + QLatin1Char('?');
    if (!Prompt().AskYesNo(question))
        return;
    const QVariant id = CurrentValue(QStringLiteral("id"));
    cxGrid1DBTableView1->CommitOpenEditor();
    model_->Post();
    Tdm* dm = context_.Data;
    dm->qDeletePatient.Param(QStringLiteral("id"), id.toInt());
    try {
        dm->qDeletePatient.Execute();
    } catch (...) {
        dm->qDeletePatient.Close();
        throw;
    }
    dm->qDeletePatient.Close();
    model_->Refresh();
    if (proxy_->rowCount() > 0)
        SetCurrentRow(0);
    if (context_.Signals)
        emit context_.Signals->cardDeleted();
}

void TCardsForm::FormClose()
{
    RunGuarded([this] {
        cxGrid1DBTableView1->CommitOpenEditor();
        if (model_)
            model_->Post();
    });
    cxGrid1DBTableView1->setModel(nullptr);
    cxGrid1DBCardView1->setModel(nullptr);
    delete selection_;
    selection_ = nullptr;
    delete proxy_;
    proxy_ = nullptr;
    model_.reset();
}
