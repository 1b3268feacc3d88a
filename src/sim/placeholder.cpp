// The simulated controller lives beside this file.
