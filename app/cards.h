// The cards list TCardsForm (the main window's `CardsForm`): the patient cards in a table
// view and a card view over one current row; opens, edits in place and deletes cards.
#pragma once

#include "app/child_form.h"
#include "app/window_context.h"

#include <QSortFilterProxyModel>
#include <QTableView>

#include <memory>

class PatientsModel;
class QAction;
class QItemSelectionModel;
class QLineEdit;
class QListView;
class QTabWidget;
class QToolBar;

// The cards' view of the patient rows: `code` read-only on cream, an icon for `sex`,
// and a text filter over every column.
class CardsProxyModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    void SetEditable(bool on);

private:
    bool editable_ = false;
};

// The tabular view, able to hand an open editor's value to the model on request.
class CardsTableView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    void CommitOpenEditor();
};

class TCardsForm : public TChildForm {
    Q_OBJECT
public:
    // Builds the window and reads the patient rows through the context's data module;
    // throws DatabaseError without a database.
    explicit TCardsForm(const WindowContext& context, QWidget* owner = nullptr);
    ~TCardsForm() override;

    QToolBar* CardsToolbar = nullptr;
    QAction* dxBarLargeButton1 = nullptr; // Open card
    QAction* dxBarLargeButton2 = nullptr; // Edit card (check button)
    QAction* dxBarLargeButton3 = nullptr; // Delete card
    QTabWidget* Pages = nullptr;          // "Tabular view", "Card View"
    CardsTableView* cxGrid1DBTableView1 = nullptr;
    QListView* cxGrid1DBCardView1 = nullptr;
    QLineEdit* FilterBox = nullptr;

    void dxBarLargeButton1Click();           // Open card
    void dxBarLargeButton2Click(bool down);  // Edit card pressed or released
    void dxBarLargeButton3Click();           // Delete card

    PatientsModel* Model() const { return model_.get(); }
    CardsProxyModel* Proxy() const { return proxy_; }
    int RowCount() const;
    // Makes a row (in the views' order) the current one.
    void SetCurrentRow(int row);
    int CurrentRow() const;

protected:
    void FormClose() override;

private:
    QVariant CurrentValue(const QString& column) const;
    void SetEditing(bool on);

    WindowContext context_;
    std::unique_ptr<PatientsModel> model_;
    CardsProxyModel* proxy_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
};
