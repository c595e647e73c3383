// Test support: the CPU time the whole process has used, for tests that an idle wait does not
// spin. Defined out of line (CpuTime.cpp), so that no test sees a host header.
#pragma once

double ProcessCpuMs();
// The same for the calling thread alone.
double ThreadCpuMs();
