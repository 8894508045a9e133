#include "app/connection.h"

#include "app/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QCoreApplication>

#include <atomic>

namespace {

std::atomic<int> g_connection_counter{0};

// Column types: INTEGER for every code, so SQLite's type affinity converts a code bound
// as text ("7") to the integer it stores; one ivus and one angio row per patient code.
const char* const kSchema[] = {
    R"(CREATE TABLE patient (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        code INTEGER NOT NULL UNIQUE,
        surname VARCHAR(50), name VARCHAR(50), sex CHAR(1), birthdate DATE,
        hematocrit DOUBLE, glucose DOUBLE, urea DOUBLE, creatinine DOUBLE,
        triglycerides DOUBLE, cholesterol DOUBLE, "LDC-C" DOUBLE, "HDL-C" DOUBLE,
        comment TEXT,
        vesselId INTEGER, phaseId INTEGER, examinationId INTEGER, interventionId INTEGER,
        calibrationPointAX INTEGER, calibrationPointAY INTEGER,
        calibrationPointBX INTEGER, calibrationPointBY INTEGER,
        calibrationDistance DOUBLE,
        path TEXT, dicomInfoLAO TEXT, dicomInfoRAO TEXT, dicomInfoIVUS TEXT,
        pixelSpacing DOUBLE))",
    R"(CREATE TABLE ivus (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        patientID INTEGER NOT NULL UNIQUE,
        telodiastolic TEXT,
        catheterCenterX INTEGER, catheterCenterY INTEGER,
        catheterEdgeX INTEGER, catheterEdgeY INTEGER))",
    R"(CREATE TABLE angio (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        patientID INTEGER NOT NULL UNIQUE,
        LcatheterX TEXT, LcatheterY TEXT, LlumenAX TEXT, LlumenAY TEXT,
        LlumenBX TEXT, LlumenBY TEXT, LwidthX TEXT, LwidthY TEXT,
        RcatheterX TEXT, RcatheterY TEXT, RlumenAX TEXT, RlumenAY TEXT,
        RlumenBX TEXT, RlumenBY TEXT, RwidthX TEXT, RwidthY TEXT,
        LAOframe INTEGER, RAOframe INTEGER))",
    R"(CREATE TABLE outerWall (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        patientID INTEGER NOT NULL, frame INTEGER, telodiastolicFrame INTEGER,
        outerWallX TEXT, outerWallY TEXT, userOuterWallX TEXT, userOuterWallY TEXT))",
    "CREATE INDEX outerWall_patient ON outerWall(patientID)",
    R"(CREATE TABLE innerWall (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        patientID INTEGER NOT NULL, frame INTEGER, telodiastolicFrame INTEGER,
        innerWallX TEXT, innerWallY TEXT, userInnerWallX TEXT, userInnerWallY TEXT))",
    "CREATE INDEX innerWall_patient ON innerWall(patientID)",
    "CREATE TABLE vessel (code INTEGER PRIMARY KEY, description VARCHAR(50))",
    "CREATE TABLE phase (code INTEGER PRIMARY KEY, description VARCHAR(50))",
    "CREATE TABLE examination (code INTEGER PRIMARY KEY, description VARCHAR(50))",
    "CREATE TABLE intervention (code INTEGER PRIMARY KEY, description VARCHAR(50))",
    "INSERT INTO vessel VALUES (1,'Left main (LM)'),(2,'Left anterior descending (LAD)'),"
    "(3,'Left circumflex (LCx)'),(4,'Right coronary artery (RCA)'),(5,'Diagonal branch'),"
    "(6,'Obtuse marginal branch'),(7,'Saphenous vein graft')",
    "INSERT INTO phase VALUES (1,'Pre-intervention'),(2,'Post-intervention'),(3,'Follow-up')",
    "INSERT INTO examination VALUES (1,'Diagnostic'),(2,'Follow-up'),(3,'Research protocol')",
    "INSERT INTO intervention VALUES (1,'None'),(2,'Balloon angioplasty'),(3,'Bare-metal stent'),"
    "(4,'Drug-eluting stent'),(5,'Bypass surgery (CABG)')",
};

const char* const kTables[] = {"patient", "ivus", "angio", "outerWall", "innerWall",
                               "vessel", "phase", "examination", "intervention"};

void Exec(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        throw DatabaseError(q.lastError().text().toStdString());
}

} // namespace

Connection::Connection()
    : name_(QStringLiteral("angiodb-%1").arg(g_connection_counter.fetch_add(1)))
{
}

Connection::~Connection()
{
    Disconnect();
}

bool Connection::Connected() const
{
    if (!QSqlDatabase::contains(name_))
        return false;
    return QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::Database() const
{
    Q_ASSERT(!QCoreApplication::instance() || QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!Connected())
        throw DatabaseError("Not connected to the database");
    return QSqlDatabase::database(name_, false);
}

void Connection::Connect()
{
    if (Connected())
        return;
    const QString data = DataDir.isEmpty() ? QDir(BaseDir).filePath(QStringLiteral("data")) : DataDir;
    const QString file = QDir(data).filePath(QStringLiteral("angiodb.sqlite"));
    if (ReadOnly) {
        CheckExistingDatabase(file);
    } else {
        if (!QDir().mkpath(data))
            throw DatabaseError("Cannot create the data folder " + data.toStdString());
        if (QFileInfo(file).isDir())
            throw DatabaseError("The database file " + file.toStdString() + " is a folder");
    }
    try {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.setConnectOptions(ReadOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            throw DatabaseError(db.lastError().text().toStdString());
        CreateOrCheckSchema(db);
    } catch (const DatabaseError& e) {
        Disconnect();
        if (!ReadOnly)
            throw;
        throw DatabaseError("The database " + QDir::toNativeSeparators(file).toStdString() + " cannot be read: " +
                            e.what());
    } catch (...) {
        Disconnect();
        throw;
    }
}

void Connection::CheckExistingDatabase(const QString& file)
{
    const std::string path = QDir::toNativeSeparators(file).toStdString();
    const QFileInfo info(file);
    if (!info.exists())
        throw DatabaseError("There is no database " + path);
    if (!info.isFile())
        throw DatabaseError("The database " + path + " is not a file");
    if (info.size() == 0)
        throw DatabaseError("The database " + path + " is empty");
}

void Connection::CreateOrCheckSchema(QSqlDatabase& db)
{
    QSqlQuery q(db);
    Exec(q, QStringLiteral("PRAGMA user_version"));
    const int version = q.next() ? q.value(0).toInt() : 0;
    Exec(q, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'"));
    const int tables = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    if (version == 0 && tables == 0) {
        if (ReadOnly)
            throw DatabaseError("it holds no tables");
        if (!db.transaction())
            throw DatabaseError(db.lastError().text().toStdString());
        try {
            for (const char* sql : kSchema)
                Exec(q, QString::fromUtf8(sql));
            Exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
            q.finish();
            if (!db.commit())
                throw DatabaseError(db.lastError().text().toStdString());
        } catch (...) {
            q.finish();
            db.rollback();
            throw;
        }
        return;
    }
    if (version != kSchemaVersion)
        throw DatabaseError("The database has an unknown schema version " + std::to_string(version));
    const QStringList present = db.tables();
    for (const char* t : kTables)
        if (!present.contains(QString::fromLatin1(t), Qt::CaseInsensitive))
            throw DatabaseError(std::string("The database has no table ") + t);
}

void Connection::Disconnect()
{
    if (!QSqlDatabase::contains(name_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

Transaction::Transaction(Connection& connection) : connection_(connection)
{
    QSqlDatabase db = connection_.Database();
    if (!db.transaction())
        throw DatabaseError(db.lastError().text().toStdString());
}

Transaction::~Transaction()
{
    if (!done_ && connection_.Connected())
        connection_.Database().rollback();
}

void Transaction::Commit()
{
    QSqlDatabase db = connection_.Database();
    if (!db.commit())
        throw DatabaseError(db.lastError().text().toStdString());
    done_ = true;
}
