// The data module's statements: fixed SQL text with named parameters, run on the
// embedded database connection.
//
// A query (Open) fetches all its rows into memory and releases the database statement,
// so RecordCount, First, Next, Eof and FieldByName work like a client-side data set.
// Every failure throws DatabaseError with the driver's text; nothing fails silently.
// A null column reads as 0 (numbers) or the empty text.
//
// Statements are used on the main thread only (the connection belongs to it).
#pragma once

#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <map>
#include <vector>

class Connection;

// One column value of the current row.
class Field {
public:
    explicit Field(QVariant value = {}) : value_(std::move(value)) {}
    bool IsNull() const { return value_.isNull(); }
    int AsInteger() const;      // null reads 0; a non-numeric text throws ConversionError
    double AsFloat() const;     // null reads 0
    QString AsString() const;   // null reads ""
    const QVariant& Value() const { return value_; }

private:
    QVariant value_;
};

class Statement {
public:
    // `editable_table` names the table whose rows Edit/Post write back (by its `id`);
    // empty for read-only queries and commands.
    Statement(Connection& connection, QString name, QString sql, QString editable_table = {});

    const QString& Name() const { return name_; }
    const QString& SQL() const { return sql_; }

    // Sets a named parameter (name without the colon). A name that occurs twice in the
    // text takes this one value for both places. Integers bind as integers, QString as text.
    void Param(const QString& name, const QVariant& value);
    void ClearParams() { params_.clear(); }

    // Query: runs it and fetches every row; the current row is the first.
    void Open();
    // Command: runs it; returns the number of rows it changed.
    int Execute();
    // Drops the fetched rows and the parameters.
    void Close();

    bool Active() const { return active_; }
    int RecordCount() const { return static_cast<int>(rows_.size()); }
    bool Eof() const { return pos_ >= rows_.size(); }
    void First() { pos_ = 0; }
    void Next() { if (pos_ < rows_.size()) ++pos_; }
    // A column of the current row; throws DatabaseError when there is none or the column is unknown.
    Field FieldByName(const QString& column) const;

    // Editing the current row of an editable query: Edit, SetField for each changed
    // column, then Post writes them with one UPDATE of the row's `id`.
    void Edit();
    void SetField(const QString& column, const QVariant& value);
    void Post();

private:
    void Prepare(class QSqlQuery& q) const;

    Connection& connection_;
    QString name_;
    QString sql_;
    QString editable_table_;
    std::map<QString, QVariant> params_;
    std::vector<QSqlRecord> rows_;
    std::size_t pos_ = 0;
    bool active_ = false;
    bool editing_ = false;
    std::map<QString, QVariant> edits_;
};
