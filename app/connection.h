// The embedded database connection (SQLite through Qt SQL). The database "angiodb" lives
// in the file angiodb.sqlite of the data folder. A fresh data folder gets the schema and
// the seeded lookup tables on the first connect; a database of another schema version,
// or a file that is not a database, fails the connect.
#pragma once

#include <QSqlDatabase>
#include <QString>

class Connection {
public:
    static constexpr int kSchemaVersion = 1;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Set before Connect: the program folder and the data folder (the program folder followed by "data").
    QString BaseDir;
    QString DataDir;
    // Set before Connect: open an existing database for reading only. Nothing is created
    // (no folder, no file, no schema); a missing, empty or damaged database fails the
    // connect with a message that names its path.
    bool ReadOnly = false;

    // Opens (and on first use creates) the database; throws DatabaseError on failure,
    // leaving the connection disconnected.
    void Connect();
    // Closes the connection. Models and queries on it must be gone by then.
    void Disconnect();
    bool Connected() const;

    // The open database; throws DatabaseError when not connected.
    QSqlDatabase Database() const;
    const QString& ConnectionName() const { return name_; }

private:
    // A read-only connection opens only an existing, non-empty database file: throws
    // DatabaseError naming the path otherwise (nothing is created).
    static void CheckExistingDatabase(const QString& file);
    void CreateOrCheckSchema(QSqlDatabase& db);

    QString name_;
};

// RAII transaction on a connection: rolled back unless Commit() was called.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Connection& connection_;
    bool done_ = false;
};
