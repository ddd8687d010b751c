"""The simulator's pseudo-terminal as the serial port of the Linux or the
Windows programs."""
import os

COM = "COM5"


def attach(prefix, sim, windows, com=COM):
    """The port name the program is given: for Windows a COM port of the Wine
    prefix, linked to the pty."""
    if not windows:
        return sim.port
    link = os.path.join(prefix, "dosdevices", com.lower())
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(sim.port, link)
    return com
