// Empty until the modem sources are listed.
