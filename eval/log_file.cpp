#include "eval/log_file.h"
