// The few things the command line asks of the terminal and of its output streams: whether a
// stream is a terminal, how wide it is, and writing a whole text with one call, so that a
// line never mixes with another writer's (the interrupt handler writes between lines).
//
// Threads: any; WriteAll is async-signal-safe. Ownership: none.
#pragma once
#include <string_view>

enum TCliStream { csStdOut = 1, csStdErr = 2 };

bool IsTerminal(TCliStream stream);
// The terminal's width in columns, or fallback when it does not say.
int TerminalColumns(TCliStream stream, int fallback = 80);
// Writes all of text, retrying short writes and interruptions; gives up silently on errors
// (a closed pipe must not end the upload).
void WriteAll(TCliStream stream, std::string_view text);
