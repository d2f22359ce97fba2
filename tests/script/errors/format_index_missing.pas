// attendu: 2 (7:13)
// Format dont l'argument choisi par son rang n'existe pas : EConvertError non rattrapée,
// à la position de l'appel dans la fonction.
program format_index_missing;
function Etiquette(const nom: string): string;
begin
  Result := Format('%0:s (%2:s)', [nom, 'x']);
end;

begin
  showmessage(Etiquette('a'));
end.
