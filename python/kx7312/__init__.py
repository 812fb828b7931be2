"""The KX7312 board from Python: see kx7312.pymeasure."""
