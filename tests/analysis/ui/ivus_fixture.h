// Shared fixture of the IVUS window tests: a program folder of its own with a connected
// database, a scripted prompter, the main window with the IVUS window registered, and
// helpers that write synthetic JPEG frame files and database rows for a card.
#pragma once

#include "app/prompter.h"

#include <QString>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

class TIVUSForm;

// An IVUS-like grey frame: bright catheter ring around `centre`, dark lumen of radius
// `lumen`, speckled tissue, a bright adventitia ring from `ring` to `ring` + 10, darker
// speckle beyond. Speckle from `seed`.
cv::Mat IvusLikeFrame(cv::Size size, cv::Point centre, int lumen, int ring, unsigned seed);

class IvusWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes IVUS.<n>.jpg for every n in `files` (through the image library's encoder).
    void WriteFrames(int code, const std::vector<int>& files, cv::Size size = {200, 200});
    void WriteFrame(int code, int file, const cv::Mat& frame);
    // A patient row with its pixel spacing, an ivus row with the end-diastolic list (as
    // point-list text) and the catheter centre and edge, and one wall row.
    void AddPatient(int code, double pixelSpacing = 0.0);
    void AddIvusRow(int code, const QString& telodiastolic, int cx = 0, int cy = 0, int ex = 0, int ey = 0);
    void AddWallRow(const char* table, int code, int frame, const QString& x, const QString& y);
    // Runs SQL on the test database and returns the first column of every row, joined by '|'.
    QString Query(const QString& sql) const;
    void Exec(const QString& sql) const;

    // Opens the card in the main window and the IVUS window through the main window's
    // IVUS button; null when it did not open.
    TIVUSForm* OpenCard(int code);
    TIVUSForm* OpenIvusWindow();
    // Presses the left button on cell `cell` (in the image, 5 pixels from its corner).
    void PressCell(TIVUSForm* w, int cell);

    QTemporaryDir root_;
    QTemporaryDir runtime_;
    ScriptedPrompter prompter_;
};
