#pragma once

#include <QString>

// The manual pages, written at build time: orvane-cli(1) from the text of
// --help itself (its commands, options and exit codes), so the two cannot
// drift apart, and orvane-config(1) for the window; both with the same
// FILES and ENVIRONMENT.

// orvane-cli(1) in man(7) markup, from `help` as --help prints it.
QString CliManPage(const QString& help, const QString& version);

// orvane-config(1) in man(7) markup.
QString WindowManPage(const QString& version);
