#pragma once
int c();
