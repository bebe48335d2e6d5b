// Everything a tool or a host program includes.
#pragma once

#include <hostsdk/host_id.h>
#include <hostsdk/ids.h>
#include <hostsdk/image.h>
#include <hostsdk/link.h>
#include <hostsdk/object.h>
#include <hostsdk/operator.h>
#include <hostsdk/parameter.h>
#include <hostsdk/registry.h>
#include <hostsdk/request.h>
#include <hostsdk/tag_list.h>
