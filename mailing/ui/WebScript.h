#pragma once
// Our calls into a web page. They run in the application world, so they work
// while the page's own scripts are switched off, and they wait for their
// answer: the window's rules read the document as they go.

#include <QString>
#include <QVariant>
#include <functional>

class QWebEnginePage;

// A JavaScript string literal holding text.
QString JsString(const QString& text);

// Runs the script and returns its value; an invalid QVariant when no answer
// came within timeoutMs (the answer, should it come later, is dropped).
QVariant RunScriptSync(QWebEnginePage& page, const QString& script, int timeoutMs = 10000);

// Starts a load and waits for it to finish; false when it failed or took
// longer than timeoutMs.
bool LoadAndWait(QWebEnginePage& page, const std::function<void()>& startLoad, int timeoutMs = 20000);
