# Plan for ../shared/bench/make-corpus.sh: the same recipe as heldout-plan.py, spoken by voices
# the network trained on (other sentences than its training text), to measure the gap.
# Build: ../shared/bench/make-corpus.sh /tmp/corpus-trainvoices 1 trainvoices train/eval/trainvoices-plan.py
SET_IDS["trainvoices"] = 102
NOISES["trainvoices"] = ["white", "pink", "babble", "hum", "fan"]
N_MIX["trainvoices"] = 40
FEST["lp"] = "lp_diphone"
FEST["suolj"] = "suo_fi_lj_diphone"
PLAN["trainvoices"] = [
    ("espeak", "de", "en", 4), ("espeak", "it", "en", 4), ("espeak", "nl", "en", 4),
    ("espeak", "en-us", "en", 4), ("festival", "lp", "en", 8), ("festival", "suolj", "en", 8),
]
LONG["trainvoices"] = [(["lp", "suolj"], 20.0)]
RATE8K_EVERY["trainvoices"] = 10
PADS["trainvoices"] = PADS["dev"]
SENTENCES["trainvoices"] = SENTENCES["dev"]
