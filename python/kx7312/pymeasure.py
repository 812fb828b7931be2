"""A PyMeasure driver for the KX7312 board served by ``kx7312ctl serve``.

    from kx7312.pymeasure import KX7312
    kx = KX7312("TCPIP::127.0.0.1::INSTR", visa_library="@py")
    kx.dac[3].code = 2047
    print(kx.adc[3].code)

An adapter made by hand needs "\\n" as its read and write termination.

Channels are ``kx.dac[0..15]`` and ``kx.adc[0..15]``, each with ``code`` and
``voltage``; a value out of range raises ValueError before anything is sent.
"""
import numpy as np
from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set, strict_range

# The server's own limits: sixteen channels a side, twelve-bit codes.
CHANNELS = 16
LARGEST_CODE = 4095
FULL_SCALE_CODES = 4096
# A capture: this many sample sets of every channel.
SAMPLE_SETS = 512

# A command ending in PICK answers for all sixteen channels; a channel takes its own.
PICK = "{pick}"


class _Channel:
    """One channel, so that ``Instrument.control`` and ``Instrument.measurement``
    serve channels as they serve instruments: ``{ch}`` in a command is the
    channel's number."""

    def __init__(self, instrument, number):
        self.instrument = instrument
        self.number = number

    def write(self, command):
        self.instrument.write(command.format(ch=self.number))

    def values(self, command, **kwargs):
        if command.endswith(PICK):
            every = self.instrument.values(command[: -len(PICK)], **kwargs)
            return [every[self.number]]
        return self.instrument.values(command.format(ch=self.number), **kwargs)


def _code_of_word(word):
    """A DAC slot's stored word, ``#H0037FF00``, holds the code in bits 8 to 19."""
    return (int(word.strip()[2:], 16) >> 8) & 0xFFF


class DacChannel(_Channel):
    """A DAC channel. Its ``voltage`` is its code at the DAC's reference,
    which the board cannot report (``KX7312(..., dac_reference=2.5)``): the
    output is the reference times code / 4096."""

    code = Instrument.control(
        "DAC:WORDs?" + PICK, "DAC:LOAD {ch},%d",
        """The code of the channel's input register, 0 to 4095; setting it loads
        the register (then the LDAC pulse, unless ``auto_pulse`` is off).""",
        validator=strict_range, values=[0, LARGEST_CODE], cast=str, get_process=_code_of_word,
    )

    @property
    def voltage(self):
        """The code in volts at the DAC's reference; set: the nearest code."""
        return self.code * self.instrument.dac_reference / FULL_SCALE_CODES

    @voltage.setter
    def voltage(self, volts):
        reference = self.instrument.dac_reference
        volts = strict_range(volts, [0.0, reference * LARGEST_CODE / FULL_SCALE_CODES])
        self.code = int(round(volts / reference * FULL_SCALE_CODES))


class AdcChannel(_Channel):
    """An ADC channel: a conversion each time ``code`` or ``voltage`` is read."""

    code = Instrument.measurement("ADC:READ? {ch}", """The channel's conversion code.""",
                                  cast=int)
    voltage = Instrument.measurement(
        "ADC:READ:VOLTage?" + PICK,
        """The channel's conversion in volts, at the reference the server takes
        (2.50 V unless told); not in the classic edition.""")


class KX7312(Instrument):
    """The board as ``kx7312ctl serve`` offers it, over ``TCPIP::host::INSTR``
    or ``TCPIP::host::5025::SOCKET``."""

    def __init__(self, adapter, name="KX7312", dac_reference=2.5, **kwargs):
        kwargs.setdefault("read_termination", "\n")
        kwargs.setdefault("write_termination", "\n")
        super().__init__(adapter, name, includeSCPI=True, **kwargs)
        self.dac_reference = strict_range(dac_reference, [1e-3, 5.0])
        self.dac = [DacChannel(self, n) for n in range(CHANNELS)]
        self.adc = [AdcChannel(self, n) for n in range(CHANNELS)]

    auto_pulse = Instrument.control(
        "DAC:LOAD:PULSe?", "DAC:LOAD:PULSe %d",
        """Whether a DAC load ends with the LDAC pulse.""",
        validator=strict_discrete_set, values={True: 1, False: 0}, map_values=True, cast=int,
    )

    adc_configuration = Instrument.measurement(
        "ADC:CONFigure?", """The ADC's lists, such as ``["VREF2X", "TRIS", "TWOS"]``.""",
        cast=str,
    )

    def configure_adc(self, range="VREF2X", weak=False, coding="TWOS"):
        """Sets the ADC's lists: ``range`` VREF2X or VREF, ``weak`` the weak
        input (else three-state), ``coding`` TWOS or BIN."""
        range = strict_discrete_set(range.upper(), ["VREF2X", "VREF"])
        coding = strict_discrete_set(coding.upper(), ["TWOS", "BIN"])
        self.write(f"ADC:CONFigure {range},{'WEAK' if weak else 'TRIS'},{coding}")

    def capture(self):
        """512 sample sets of the sixteen channels: an array of shape (512, 16)."""
        codes = self.values("ADC:CAPTure? CODES", cast=int)
        return np.array(codes, dtype=np.uint16).reshape(SAMPLE_SETS, CHANNELS)

    def log_start(self, file, interval, duration=None):
        """The data logger into ``file`` (in the server's log folder) every
        ``interval`` (seconds, or a text such as ``"100ms"``) until
        ``duration`` (``"10h"``) or log_stop."""
        command = f"LOG:STARt {_quoted(file)},{_time_text(interval)}"
        if duration is not None:
            command += f",{_time_text(duration)}"
        self.write(command)

    def log_stop(self):
        self.write("LOG:STOP")

    def check_errors(self):
        """Every queued error, oldest first, as (code, text) pairs; the queue
        is empty afterwards."""
        errors = []
        # The queue holds 20 and one overflow; a peer that never says 0 cannot hold us.
        for _ in range(32):
            code, text = self.ask("SYSTem:ERRor?").strip().split(",", 1)
            if int(code) == 0:
                break
            errors.append((int(code), text[1:-1].replace('""', '"')))
        return errors


def _quoted(text):
    return '"' + str(text).replace('"', '""') + '"'


def _time_text(value):
    if isinstance(value, str):
        return _quoted(value)
    return repr(float(strict_range(value, [0.0, float("inf")])))
