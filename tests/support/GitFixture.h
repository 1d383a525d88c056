#pragma once

#include "discovery/Shell.h"

#include <QString>
#include <QStringList>

namespace tarn::test {

// Runs /usr/bin/git in `folder` with a fixed identity; the result is returned as it is.
ShellResult git(const QString& folder, const QStringList& arguments);

// Makes a repository on branch main at `path`, with one commit unless `commit` is false.
void makeRepo(const QString& path, bool commit = true);

// Writes `name` in the repository and commits it.
void commitFile(const QString& repo, const QString& name, const QString& contents);

} // namespace tarn::test
