;DELIMITER $$$
A$ $$ $$$