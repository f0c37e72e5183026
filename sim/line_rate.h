#pragma once

// The baud rate set on a terminal (also rates without a B-constant, such as
// 43000), or 0 when it cannot be read.
int ReadLineRate(int fd);
