<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<n><xsl:number value="7"/></n>
<n><xsl:number value="1234567" grouping-separator="," grouping-size="3"/></n>
<n><xsl:number value="3" format="a"/></n>
<n><xsl:number value="28" format="A"/></n>
<n><xsl:number value="1999" format="i"/></n>
<n><xsl:number value="12.5"/></n>
<n><xsl:number value="2.4" format="001"/></n>
</r></xsl:template>
</xsl:stylesheet>
