// Idle: what a started tray program costs while nobody touches it.

#include <windows.h>

#include "bench/figures.h"
#include "bench/process_cost.h"
#include "bench/programs.h"
#include "bench/samples.h"

void MeasureIdle(int runs, unsigned idleMilliseconds) {
    const BenchProgram* programs[] = {&kMonitor, &kFloor};
    for (int run = 0; run < runs; ++run) {
        RunningProgram running[2];
        for (int i = 0; i < 2; ++i) {
            const int which = (run % 2 == 0) ? i : 1 - i;
            running[which] = StartAndSettle(*programs[which]);
        }
        double cpuBefore[2] = {};
        for (int i = 0; i < 2; ++i) {
            if (running[i].window == nullptr) {
                Missing("idle_cpu_ms", programs[i]->name, "did-not-start");
                return;
            }
            cpuBefore[i] = ProcessCpuMilliseconds(running[i].Id());
        }
        // The idle period is the measurement itself, not a wait for something to happen.
        Sleep(idleMilliseconds);
        for (int i = 0; i < 2; ++i) {
            Sample("idle_cpu_ms", programs[i]->name, ProcessCpuMilliseconds(running[i].Id()) - cpuBefore[i]);
            Sample("private_kib", programs[i]->name,
                   static_cast<double>(ProcessPrivateBytes(running[i].process->info.hProcess)) / 1024.0);
        }
        for (RunningProgram& program : running) Close(program);
    }
}
