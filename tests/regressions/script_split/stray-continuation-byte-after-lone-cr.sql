;;,
D-o:ER
¼