// Shared fixture of the reconstruction windows' tests: its own program and runtime
// folders, the application title, a scripted prompter and a connected data module over an
// empty database, which the test fills through the sqlite3 tool. TearDown frees the main
// window, every other window and the data module.
#pragma once

#include "app/prompter.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

// Runs a program and waits for it; its exit status and its output (both streams).
std::pair<int, QString> RunProcess(const QString& program, const QStringList& arguments);

class CardDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs SQL on the test's database with the sqlite3 tool.
    void Sql(const QString& sql);

    QTemporaryDir root;
    QTemporaryDir runtime;
    ScriptedPrompter prompter;
};
