#pragma once

#define IDI_HALVRENN 1
