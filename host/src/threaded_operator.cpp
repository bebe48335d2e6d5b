#include <hostsdk/operator.h>

#include "worker_pool.h"

const HostID ThreadedOperator::ClassID("ThreadedOperator");

void ThreadedOperator::DoMultiProcess(Request* req, long count) {
    const WorkerPool::ChunkWork work = [this, req](long chunk) { ProcessChunk(req, chunk); };
    WorkerPool::Instance().Run(count, work);
}

int ThreadedOperator::ThreadMain(void* /*data*/) {
    return 0;
}

void ThreadedOperator::ProcessChunk(Request* /*req*/, long /*chunk*/) {}

void ThreadedOperator::QuickProcessChunk(Request* req, long chunk) {
    ProcessChunk(req, chunk);
}

void SetWorkerThreadCount(unsigned count) {
    WorkerPool::Instance().SetThreadCount(count);
}

unsigned WorkerThreadCount() {
    return WorkerPool::Instance().ThreadCount();
}
