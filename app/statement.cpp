#include "app/statement.h"

#include "app/connection.h"
#include "app/errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

int Field::AsInteger() const
{
    if (value_.isNull())
        return 0;
    bool ok = false;
    const int v = value_.toInt(&ok);
    if (!ok) {
        const double d = value_.toDouble(&ok);
        if (ok)
            return static_cast<int>(d);
        throw ConversionError("'" + value_.toString().toStdString() + "' is not a valid integer value");
    }
    return v;
}

double Field::AsFloat() const
{
    if (value_.isNull())
        return 0.0;
    bool ok = false;
    const double v = value_.toDouble(&ok);
    if (!ok)
        throw ConversionError("'" + value_.toString().toStdString() + "' is not a valid floating point value");
    return v;
}

QString Field::AsString() const
{
    if (value_.isNull())
        return {};
    return value_.toString();
}

Statement::Statement(Connection& connection, QString name, QString sql, QString editable_table)
    : connection_(connection), name_(std::move(name)), sql_(std::move(sql)),
      editable_table_(std::move(editable_table))
{
}

void Statement::Param(const QString& name, const QVariant& value) { params_[name] = value; }

void Statement::Prepare(QSqlQuery& q) const
{
    q.setForwardOnly(true);
    if (!q.prepare(sql_))
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    for (const auto& [name, value] : params_)
        q.bindValue(QLatin1Char(':') + name, value);
}

void Statement::Open()
{
    rows_.clear();
    pos_ = 0;
    active_ = false;
    editing_ = false;
    QSqlQuery q(connection_.Database());
    Prepare(q);
    if (!q.exec())
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    while (q.next())
        rows_.push_back(q.record());
    if (q.lastError().isValid())
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    q.finish();
    active_ = true;
}

int Statement::Execute()
{
    QSqlQuery q(connection_.Database());
    Prepare(q);
    if (!q.exec())
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    const int n = q.numRowsAffected();
    q.finish();
    return n;
}

void Statement::Close()
{
    rows_.clear();
    params_.clear();
    edits_.clear();
    pos_ = 0;
    active_ = false;
    editing_ = false;
}

Field Statement::FieldByName(const QString& column) const
{
    if (pos_ >= rows_.size())
        throw DatabaseError(name_.toStdString() + ": no current record");
    const QSqlRecord& r = rows_[pos_];
    const int i = r.indexOf(column);
    if (i < 0)
        throw DatabaseError(name_.toStdString() + ": field '" + column.toStdString() + "' not found");
    return Field(r.value(i));
}

void Statement::Edit()
{
    if (editable_table_.isEmpty())
        throw DatabaseError(name_.toStdString() + ": the query cannot be modified");
    if (pos_ >= rows_.size())
        throw DatabaseError(name_.toStdString() + ": no current record to edit");
    editing_ = true;
    edits_.clear();
}

void Statement::SetField(const QString& column, const QVariant& value)
{
    if (!editing_)
        throw DatabaseError(name_.toStdString() + ": dataset not in edit mode");
    if (rows_[pos_].indexOf(column) < 0)
        throw DatabaseError(name_.toStdString() + ": field '" + column.toStdString() + "' not found");
    edits_[column] = value;
    rows_[pos_].setValue(column, value);
}

void Statement::Post()
{
    if (!editing_)
        throw DatabaseError(name_.toStdString() + ": dataset not in edit mode");
    editing_ = false;
    if (edits_.empty())
        return;
    const QVariant id = rows_[pos_].value(QStringLiteral("id"));
    QStringList sets;
    int i = 0;
    for (const auto& kv : edits_)
        sets << QStringLiteral("\"%1\"=:v%2").arg(kv.first).arg(i++);
    QSqlQuery q(connection_.Database());
    if (!q.prepare(QStringLiteral("UPDATE \"%1\" SET %2 WHERE id=:id").arg(editable_table_, sets.join(QLatin1Char(',')))))
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    i = 0;
    for (const auto& kv : edits_)
        q.bindValue(QStringLiteral(":v%1").arg(i++), kv.second);
    q.bindValue(QStringLiteral(":id"), id);
    if (!q.exec())
        throw DatabaseError(name_.toStdString() + ": " + q.lastError().text().toStdString());
    edits_.clear();
}
