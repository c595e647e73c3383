// Guards that undo something when a scope ends, on every path out, raising ones included.
// TScopeExit runs a callable once from its destructor; TTemporaryChange sets a variable and
// puts the old value back. Both live on the stack of the thread that made them, are neither
// copied nor moved, and borrow what they refer to: the variable (or whatever the callable
// captures) must outlive the guard. The callable must not raise; a destructor is noexcept.
#pragma once
#include <utility>

template <typename F>
class TScopeExit {
 public:
  explicit TScopeExit(F action) : FAction(std::move(action)) {}
  ~TScopeExit() { FAction(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  F FAction;
};

template <typename T>
class TTemporaryChange {
 public:
  TTemporaryChange(T& variable, T value) : FVariable(variable), FOld(std::move(variable)) {
    FVariable = std::move(value);
  }
  ~TTemporaryChange() { FVariable = std::move(FOld); }
  TTemporaryChange(const TTemporaryChange&) = delete;
  TTemporaryChange& operator=(const TTemporaryChange&) = delete;

 private:
  T& FVariable;
  T FOld;
};
