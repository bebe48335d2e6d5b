// Request processing of the tool (placeholder: passes the input through).
#include "taviron.h"

void Taviron::Process(Request* req) {
    req->SetOutputData(OutImage, InImage->GetSource(req->Time()));
}

void Taviron::ProcessChunk(Request*, long) {}
