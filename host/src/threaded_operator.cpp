#include <hostsdk/operator.h>

#include "worker_pool.h"

const HostID ThreadedOperator::ClassID("ThreadedOperator");

void ThreadedOperator::DoMultiProcess(Request* req, long count) {
    const WorkerPool::ChunkWork work = [this, req](long chunk) { ProcessChunk(req, chunk); };
    WorkerPool::Instance().Run(count, work);
}

void ThreadedOperator::ProcessChunk(Request* /*req*/, long /*chunk*/) {}

void SetWorkerThreadCount(unsigned count) {
    WorkerPool::Instance().SetThreadCount(count);
}

unsigned WorkerThreadCount() {
    return WorkerPool::Instance().ThreadCount();
}
