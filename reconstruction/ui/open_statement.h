// A statement of the data module opened for one card and closed again however the
// reading ends (also when a field read throws).
#pragma once

#include "app/statement.h"

#include <QString>

class OpenStatement {
public:
    OpenStatement(Statement& statement, const QString& parameter, int code) : statement_(statement)
    {
        statement_.Param(parameter, code);
        statement_.Open();
    }
    ~OpenStatement() { statement_.Close(); }
    OpenStatement(const OpenStatement&) = delete;
    OpenStatement& operator=(const OpenStatement&) = delete;
    Statement* operator->() { return &statement_; }

private:
    Statement& statement_;
};
