// Shared fixture of the shell's tests: each test gets its own program folder and runtime
// folder, a scripted prompter, and (optionally) a connected data module. The sqlite3
// command-line tool reads the database back as an independent reader.
#pragma once

#include "app/prompter.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class Tdm;

// Runs SQL through the sqlite3 command-line tool; returns its output without the final
// line break. Fails the test when sqlite3 fails.
QString SqliteCli(const QString& dbFile, const QString& sql);

// Creates a file (with its folders).
void TouchFile(const QString& path, const QByteArray& content = {});

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates `dm` and connects it to the test's data folder.
    void ConnectDatabase();
    QString Root() const { return root_.path(); }
    QString DbFile() const;
    QString Sql(const QString& sql) const { return SqliteCli(DbFile(), sql); }
    // Inserts a patient row through the sqlite3 tool.
    void AddPatient(int code, const QString& name, const QString& surname, const QString& extra_columns = {},
                    const QString& extra_values = {});

    QTemporaryDir root_;
    QTemporaryDir runtime_;
    ScriptedPrompter prompter_;
};
